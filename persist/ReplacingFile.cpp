#include "persist/ReplacingFile.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace corvinta {

namespace {

bool WriteAllAt(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool ReadAll(int fd, std::string& bytes)
{
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        bytes.append(buffer, static_cast<size_t>(n));
    }
}

bool ReplaceContents(int fd, const std::string& bytes)
{
    return WriteAllAt(fd, bytes) && ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && ::fsync(fd) == 0;
}

} // namespace

bool IsWriteProtected(const std::string& path)
{
    struct stat existing {};
    if (::stat(path.c_str(), &existing) != 0)
        return false;
    // The mode bits count even for a user whom the system would let write:
    // a file made read-only was made so to keep it.
    return S_ISDIR(existing.st_mode) || (existing.st_mode & 0222) == 0 ||
           ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0;
}

CReplacingFile::CReplacingFile(std::string path) : path_(std::move(path))
{
    // Replace what a link points at, not the link.
    std::error_code error;
    const auto target = std::filesystem::canonical(path_, error);
    if (!error)
        path_ = target.string();
}

CReplacingFile::~CReplacingFile() { Discard(); }

bool CReplacingFile::Open()
{
    failed_ = true;
    if (IsWriteProtected(path_))
        return false;
    static std::atomic<unsigned> counter{0};
    int createError = 0;
    for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
        tempPath_ = path_ + ".tmp" + std::to_string(getpid()) + "_" + std::to_string(counter++);
        // The umask gives the new file the permissions a plain create would.
        const int fd = ::open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            createError = errno;
            if (errno == EEXIST)
                continue;
            break;
        }
        // The new file takes over the permissions of the one it replaces.
        struct stat previous {};
        if (::stat(path_.c_str(), &previous) == 0)
            ::fchmod(fd, previous.st_mode & 07777);
        file_ = fdopen(fd, "wb");
        if (!file_) {
            ::close(fd);
            ::unlink(tempPath_.c_str());
        }
    }
    if (!file_) {
        tempPath_.clear();
        if (createError == EACCES || createError == EPERM)
            return OpenInPlace();
        return false;
    }
    failed_ = false;
    return true;
}

bool CReplacingFile::OpenInPlace()
{
    const int fd = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || !ReadAll(fd, previous_)) {
        ::close(fd);
        previous_.clear();
        return false;
    }
    inPlaceFd_ = fd;
    failed_ = false;
    return true;
}

void CReplacingFile::Write(const void* data, size_t size)
{
    if (failed_ || size == 0)
        return;
    if (inPlaceFd_ >= 0) {
        pending_.append(static_cast<const char*>(data), size);
        return;
    }
    if (!file_ || std::fwrite(data, 1, size, file_) != size)
        failed_ = true;
}

bool CReplacingFile::Commit()
{
    if (inPlaceFd_ >= 0)
        return CommitInPlace();
    if (!file_)
        return false;
    if (std::fflush(file_) != 0 || fsync(fileno(file_)) != 0)
        failed_ = true;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!closed || failed_ || std::rename(tempPath_.c_str(), path_.c_str()) != 0) {
        failed_ = true;
        Discard();
        return false;
    }
    tempPath_.clear();
    return true;
}

bool CReplacingFile::CommitInPlace()
{
    bool ok = !failed_ && ReplaceContents(inPlaceFd_, pending_);
    if (!ok)
        ReplaceContents(inPlaceFd_, previous_); // the best that can be done without a second file
    if (::close(inPlaceFd_) != 0)
        ok = false;
    inPlaceFd_ = -1;
    failed_ = !ok;
    return ok;
}

void CReplacingFile::Discard()
{
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!tempPath_.empty()) {
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
    }
    if (inPlaceFd_ >= 0) {
        ::close(inPlaceFd_); // nothing was written over the file yet
        inPlaceFd_ = -1;
    }
}

} // namespace corvinta
