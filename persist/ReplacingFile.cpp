#include "persist/ReplacingFile.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace corvinta {

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
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
        tempPath_ = path_ + ".tmp" + std::to_string(getpid()) + "_" + std::to_string(counter++);
        // The umask gives the new file the permissions a plain create would.
        const int fd = ::open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
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
    if (!file_)
        tempPath_.clear();
    failed_ = !file_;
    return file_ != nullptr;
}

void CReplacingFile::Write(const void* data, size_t size)
{
    if (!file_ || failed_ || size == 0)
        return;
    if (std::fwrite(data, 1, size, file_) != size)
        failed_ = true;
}

bool CReplacingFile::Commit()
{
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
}

} // namespace corvinta
