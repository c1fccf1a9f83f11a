#include "store/atomic_file.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {
constexpr char temporary_suffix[] = ".part";
constexpr std::size_t temporary_letters = 6; // mkstemp's XXXXXX

std::string folder_of(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The rename is only durable once the folder's entry is on the disk too.
bool sync_folder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}
} // namespace

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
    // A clean-up may take the name between mkstemp and flock; the file is
    // then no longer ours, so make another.
    for (int attempt = 0; attempt < 4; ++attempt) {
        temp_ = path_ + temporary_suffix + "XXXXXX";
        fd_ = ::mkstemp(temp_.data());
        if (fd_ < 0)
            break;
        struct stat held {
        }, named {};
        if (::flock(fd_, LOCK_EX) == 0 && ::fstat(fd_, &held) == 0 && ::stat(temp_.c_str(), &named) == 0
            && held.st_ino == named.st_ino && held.st_dev == named.st_dev) {
            // mkstemp makes the file private; give it the mode a plain create would.
            const mode_t mask = ::umask(0);
            ::umask(mask);
            ::fchmod(fd_, 0666 & ~mask);
            return true;
        }
        ::close(fd_);
        fd_ = -1;
    }
    temp_.clear();
    failed_ = true;
    return false;
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
    // The data must be on the disk before the name points at it, or a power
    // cut could leave the new name on an empty file.
    const bool synced = ::fsync(fd_) == 0;
    const int closed = ::close(fd_);
    fd_ = -1;
    if (!synced || closed != 0 || std::rename(temp_.c_str(), path_.c_str()) != 0) {
        failed_ = true;
        discard();
        return false;
    }
    temp_.clear();
    // The new file is complete under its name either way; a folder that
    // cannot be flushed (some network file systems) is not a failed save.
    sync_folder(folder_of(path_));
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

bool is_temporary_name(const std::string& name)
{
    const std::size_t suffix = sizeof temporary_suffix - 1;
    if (name.size() <= suffix + temporary_letters)
        return false;
    const std::size_t at = name.size() - temporary_letters - suffix;
    if (name.compare(at, suffix, temporary_suffix) != 0)
        return false;
    for (std::size_t i = name.size() - temporary_letters; i < name.size(); ++i) {
        if (std::isalnum(static_cast<unsigned char>(name[i])) == 0)
            return false;
    }
    return true;
}

int remove_stale_temporaries(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return 0;
    const int dir_fd = ::dirfd(dir);
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!is_temporary_name(name))
            continue;
        // Never follow a link or open a pipe: only our own regular files.
        const int fd = ::openat(dir_fd, name.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat info { };
        // A running writer holds its lock until the rename; a killed one's
        // lock went with it.
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            struct stat named { };
            if (::fstatat(dir_fd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0
                && named.st_ino == info.st_ino && named.st_dev == info.st_dev
                && ::unlinkat(dir_fd, name.c_str(), 0) == 0)
                ++removed;
        }
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}
