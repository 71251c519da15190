#include "platform/posix/PosixFileSystem.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr mode_t NewFileMode = 0600;  // passwords are stored in clear

int FlagsOf(OpenMode mode)
{
    switch (mode) {
    case OpenMode::Read: return O_RDONLY | O_NONBLOCK;
    case OpenMode::CreateOrKeep: return O_WRONLY | O_CREAT | O_NOFOLLOW;
    case OpenMode::CreateOrTruncate: return O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW;
    case OpenMode::CreateNew: return O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW;
    case OpenMode::Folder: return O_RDONLY | O_DIRECTORY;
    }
    return O_RDONLY;
}

FileInfo InfoOf(const struct stat& status, bool writable)
{
    FileInfo info;
    info.exists = true;
    info.regular = S_ISREG(status.st_mode);
    info.symlink = S_ISLNK(status.st_mode);
    info.mode = status.st_mode & 07777;
    info.writable = writable && (status.st_mode & 0222) != 0;
    info.size = static_cast<std::uint64_t>(status.st_size);
    return info;
}

template <class Call>
int RetryOnInterrupt(Call call)
{
    int result;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    return result;
}

} // namespace

FileResult<FileHandle> PosixFileSystem::Open(const std::string& name, OpenMode mode)
{
    int file = RetryOnInterrupt([&] { return ::open(name.c_str(), FlagsOf(mode) | O_CLOEXEC, NewFileMode); });
    if (file < 0)
        return FileError(errno, mode == OpenMode::Read || mode == OpenMode::Folder ? "opened" : "created", name);
    if (mode == OpenMode::Read) {
        // Non-blocking only so that a FIFO cannot hang the open; reads block as usual.
        int flags = ::fcntl(file, F_GETFL);
        if (flags >= 0)
            ::fcntl(file, F_SETFL, flags & ~O_NONBLOCK);
    }
    return file;
}

FileResult<std::size_t> PosixFileSystem::Read(FileHandle file, char* buffer, std::size_t size)
{
    ssize_t count;
    do {
        count = ::read(file, buffer, size);
    } while (count < 0 && errno == EINTR);
    if (count < 0)
        return FileError(errno, "read");
    return static_cast<std::size_t>(count);
}

FileResult<std::size_t> PosixFileSystem::ReadAt(FileHandle file, std::uint64_t offset, char* buffer, std::size_t size)
{
    ssize_t count;
    do {
        count = ::pread(file, buffer, size, static_cast<off_t>(offset));
    } while (count < 0 && errno == EINTR);
    if (count < 0)
        return FileError(errno, "read");
    return static_cast<std::size_t>(count);
}

FileStatus PosixFileSystem::Write(FileHandle file, const char* data, std::size_t size)
{
    while (size > 0) {
        ssize_t count = ::write(file, data, size);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return FileError(errno, "written");
        data += count;
        size -= static_cast<std::size_t>(count);
    }
    return {};
}

FileStatus PosixFileSystem::SeekToEnd(FileHandle file)
{
    if (::lseek(file, 0, SEEK_END) < 0)
        return FileError(errno, "positioned");
    return {};
}

FileStatus PosixFileSystem::Truncate(FileHandle file, std::uint64_t size)
{
    if (RetryOnInterrupt([&] { return ::ftruncate(file, static_cast<off_t>(size)); }) < 0)
        return FileError(errno, "cut back");
    return {};
}

FileStatus PosixFileSystem::Sync(FileHandle file)
{
    if (RetryOnInterrupt([&] { return ::fsync(file); }) < 0)
        return FileError(errno, "saved to disk");
    return {};
}

FileStatus PosixFileSystem::Close(FileHandle file)
{
    // Linux releases the descriptor even when close fails, so it is never retried.
    if (::close(file) < 0 && errno != EINTR)
        return FileError(errno, "closed");
    return {};
}

FileStatus PosixFileSystem::Rename(const std::string& from, const std::string& to)
{
    if (::rename(from.c_str(), to.c_str()) < 0)
        return FileError(errno, "renamed to " + to, from);
    return {};
}

FileStatus PosixFileSystem::Remove(const std::string& name)
{
    if (::unlink(name.c_str()) < 0)
        return FileError(errno, "removed", name);
    return {};
}

FileResult<FileInfo> PosixFileSystem::Examine(const std::string& name)
{
    struct stat status {};
    if (::lstat(name.c_str(), &status) < 0) {
        if (errno == ENOENT)
            return FileInfo{};
        return FileError(errno, "examined", name);
    }
    bool writable = !S_ISLNK(status.st_mode) && ::access(name.c_str(), W_OK) == 0;
    return InfoOf(status, writable);
}

FileResult<FileInfo> PosixFileSystem::Examine(FileHandle file)
{
    struct stat status {};
    if (::fstat(file, &status) < 0)
        return FileError(errno, "examined");
    return InfoOf(status, true);
}

FileStatus PosixFileSystem::SetMode(FileHandle file, unsigned mode)
{
    if (::fchmod(file, static_cast<mode_t>(mode)) < 0)
        return FileError(errno, "given its permissions");
    return {};
}

FileResult<bool> PosixFileSystem::TryLock(FileHandle file)
{
    // flock, not fcntl: fcntl locks vanish when any descriptor of the file closes.
    if (RetryOnInterrupt([&] { return ::flock(file, LOCK_EX | LOCK_NB); }) == 0)
        return true;
    if (errno == EWOULDBLOCK)
        return false;
    return FileError(errno, "locked");
}

FileSystem& SystemFileSystem()
{
    static PosixFileSystem system;
    return system;
}

} // namespace platform
