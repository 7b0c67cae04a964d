#pragma once
// Writes a file so that the previous one survives any failure: the bytes go
// to a new file in the same folder, which replaces the old one by rename only
// after every write, the flush to disk and the close have succeeded.

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

    // Creates the new file; false when that is impossible.
    bool Open();
    // Failures are remembered; Commit reports them.
    void Write(const void* data, size_t size);
    void Write(std::string_view text) { Write(text.data(), text.size()); }
    // Flushes, syncs, closes and renames over the old file. True only if
    // every step since Open succeeded; on false the old file is untouched.
    bool Commit();

private:
    void Discard();

    std::string path_;
    std::string tempPath_;
    std::FILE* file_ = nullptr;
    bool failed_ = false;
};

} // namespace corvinta
