#pragma once
// Writes a file so that the previous one survives any failure: the bytes go
// to a new file in the same folder, which replaces the old one by rename only
// after every write, the flush to disk and the close have succeeded.
//
// A file its owner cannot write (or has marked read-only) is never replaced.
// Where the folder takes no new file but the file itself is writable, the
// file is rewritten in place and, should that fail, its old bytes are put back.

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace corvinta {

class CReplacingFile {
public:
    explicit CReplacingFile(std::string path);
    ~CReplacingFile(); // removes the new file unless Commit succeeded
    CReplacingFile(const CReplacingFile&) = delete;
    CReplacingFile& operator=(const CReplacingFile&) = delete;

    // Creates the new file; false when that is impossible or the file may
    // not be written.
    bool Open();
    // Failures are remembered; Commit reports them.
    void Write(const void* data, size_t size);
    void Write(std::string_view text) { Write(text.data(), text.size()); }
    // Flushes, syncs, closes and renames over the old file. True only if
    // every step since Open succeeded; on false the old file is untouched.
    bool Commit();

private:
    bool OpenInPlace();
    bool CommitInPlace();
    void Discard();

    std::string path_;
    std::string tempPath_;
    std::FILE* file_ = nullptr;
    bool failed_ = false;
    // Rewriting in place: the file, its bytes before and the bytes to come.
    int inPlaceFd_ = -1;
    std::string previous_;
    std::string pending_;
};

// True when `path` names an existing file that may not be written: its mode
// has no write permission at all, or this process may not write it.
bool IsWriteProtected(const std::string& path);

} // namespace corvinta
