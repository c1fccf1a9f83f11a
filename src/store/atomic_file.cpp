#include "store/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

AtomicFile::AtomicFile(std::string path)
    : path_(std::move(path))
{
}

AtomicFile::~AtomicFile()
{
    discard();
}

bool AtomicFile::open()
{
    discard();
    failed_ = false;
    temp_ = path_ + ".partXXXXXX";
    fd_ = ::mkstemp(temp_.data());
    if (fd_ < 0) {
        temp_.clear();
        failed_ = true;
        return false;
    }
    // mkstemp makes the file private; give it the mode a plain create would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
    return true;
}

bool AtomicFile::write(const void* data, std::size_t length)
{
    if (fd_ < 0 || failed_)
        return false;
    const char* at = static_cast<const char*>(data);
    while (length > 0) {
        const ssize_t stored = ::write(fd_, at, length);
        if (stored < 0 && errno == EINTR)
            continue;
        if (stored <= 0) {
            failed_ = true;
            return false;
        }
        at += stored;
        length -= static_cast<std::size_t>(stored);
    }
    return true;
}

bool AtomicFile::commit()
{
    if (fd_ < 0 || failed_) {
        discard();
        return false;
    }
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0 || std::rename(temp_.c_str(), path_.c_str()) != 0) {
        failed_ = true;
        discard();
        return false;
    }
    temp_.clear();
    return true;
}

void AtomicFile::discard()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

bool write_file_atomically(const std::string& path, const void* data, std::size_t length)
{
    AtomicFile file(path);
    return file.open() && file.write(data, length) && file.commit();
}
