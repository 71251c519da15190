#include "platform/files/posix/PosixFileSystem.h"

#include "platform/files/posix/SystemCalls.h"

#include <algorithm>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace files {

FileResult<std::size_t> PosixFileSystem::Read(FileHandle file, char* buffer, std::size_t size)
{
    ssize_t count;
    do {
        count = ::read(file, buffer, size);
    } while (count < 0 && errno == EINTR);
    if (count < 0)
        return SystemError(errno, "read");
    return static_cast<std::size_t>(count);
}

FileResult<std::size_t> PosixFileSystem::ReadAt(FileHandle file, std::uint64_t offset, char* buffer, std::size_t size)
{
    ssize_t count;
    do {
        count = ::pread(file, buffer, size, static_cast<off_t>(offset));
    } while (count < 0 && errno == EINTR);
    if (count < 0)
        return SystemError(errno, "read");
    return static_cast<std::size_t>(count);
}

FileStatus PosixFileSystem::Write(FileHandle file, const char* data, std::size_t size)
{
    return WriteAll(data, size, [file](const char* part, std::size_t count, std::uint64_t) {
        return ::write(file, part, count);
    });
}

FileStatus PosixFileSystem::WriteAt(FileHandle file, std::uint64_t offset, const char* data, std::size_t size)
{
    return WriteAll(data, size, [file, offset](const char* part, std::size_t count, std::uint64_t done) {
        return ::pwrite(file, part, count, static_cast<off_t>(offset + done));
    });
}

// Only file systems known to copy every byte anyway take the bytes from
// memory: any other may share blocks, or copy on its server.
SpanCopy PosixFileSystem::BestSpanCopy(FileHandle to)
{
    struct statfs system {};
    if (::fstatfs(to, &system) != 0)
        return SpanCopy::ByCopyRange;
    switch (static_cast<unsigned long>(system.f_type)) {
    case EXT4_SUPER_MAGIC:  // ext2 and ext3 too
    case TMPFS_MAGIC:
    case RAMFS_MAGIC:
        return SpanCopy::FromMemory;
    default:
        return SpanCopy::ByCopyRange;
    }
}

FileStatus PosixFileSystem::CopyRange(FileHandle from, std::uint64_t offset, FileHandle to, std::uint64_t size)
{
    // A file system that shares extents shares only whole blocks, from a
    // block's start in both files. Where the two lie alike in their blocks,
    // the kernel is given the whole blocks alone; the parts before and after
    // them go through memory: a part the kernel copied itself it may first
    // write out, and the next write into its block then waits for the disk.
    struct stat target {};
    const off_t position = ::lseek(to, 0, SEEK_CUR);
    std::uint64_t block = 0;
    std::uint64_t head = 0;
    std::uint64_t tail = 0;
    if (position >= 0 && ::fstat(to, &target) == 0 && target.st_blksize > 0) {
        block = static_cast<std::uint64_t>(target.st_blksize);
        if (offset % block == static_cast<std::uint64_t>(position) % block) {
            head = std::min(size, (block - offset % block) % block);
            tail = (size - head) % block;
        }
    }
    if (head > 0) {
        if (FileStatus copied = CopyThroughMemory(*this, from, offset, to, head); !copied.Ok())
            return copied;
    }
    loff_t at = static_cast<loff_t>(offset + head);
    for (std::uint64_t rest = size - head - tail; rest > 0;) {
        ssize_t count = ::copy_file_range(from, &at, to, nullptr, rest, 0);
        if (count < 0 && errno == EINTR)
            continue;
        // Refused by the kernel or the file system (0: some copy nothing and
        // say so only this way), or failed in one of the two files without
        // saying which: the rest goes through memory, where a fault names its side.
        if (count <= 0) {
            tail += rest;
            break;
        }
        rest -= static_cast<std::uint64_t>(count);
    }
    if (tail > 0) {
        if (FileStatus copied = CopyThroughMemory(*this, from, static_cast<std::uint64_t>(at), to, tail); !copied.Ok())
            return copied;
    }
    // The whole blocks copied start on their way to the disk while the
    // program reads on; the save that follows waits for them, and no longer.
    if (block > 0) {
        const std::uint64_t start = (static_cast<std::uint64_t>(position) + block - 1) / block * block;
        const std::uint64_t end = (static_cast<std::uint64_t>(position) + size) / block * block;
        if (end > start)
            ::sync_file_range(to, static_cast<off_t>(start), static_cast<off_t>(end - start), SYNC_FILE_RANGE_WRITE);
    }
    return {};
}

FileStatus PosixFileSystem::SeekToEnd(FileHandle file)
{
    if (::lseek(file, 0, SEEK_END) < 0)
        return SystemError(errno, "positioned");
    return {};
}

// O_APPEND for this write alone: a pwrite on such a descriptor would append too.
// O_APPEND: the kernel finds the end in the write itself.
EndWrite PosixFileSystem::HowEndIsWritten() const { return EndWrite::OneStep; }

FileResult<std::uint64_t> PosixFileSystem::WriteAtEnd(FileHandle file, const char* data, std::size_t size)
{
    const int flags = ::fcntl(file, F_GETFL);
    if (flags < 0 || ::fcntl(file, F_SETFL, flags | O_APPEND) < 0)
        return SystemError(errno, "written");
    FileStatus written = WriteAll(data, size, [file](const char* part, std::size_t count, std::uint64_t) {
        return ::write(file, part, count);
    });
    // The position follows the appended bytes, whatever the file's length is by now.
    const off_t end = written.Ok() ? ::lseek(file, 0, SEEK_CUR) : 0;
    const int code = errno;
    // Left set, the next write at an offset would append instead: a failure, undone as any.
    const bool restored = ::fcntl(file, F_SETFL, flags) == 0;
    const int restoreCode = errno;
    if (!written.Ok())
        return written.Error();
    if (end < 0)
        return SystemError(code, "written");
    if (!restored)
        return SystemError(restoreCode, "written");
    return static_cast<std::uint64_t>(end) - size;
}

FileStatus PosixFileSystem::Truncate(FileHandle file, std::uint64_t size)
{
    if (RetryOnInterrupt([&] { return ::ftruncate(file, static_cast<off_t>(size)); }) < 0)
        return SystemError(errno, "cut back");
    return {};
}

FileStatus PosixFileSystem::Sync(FileHandle file)
{
    if (RetryOnInterrupt([&] { return ::fsync(file); }) < 0)
        return SystemError(errno, "saved to disk");
    return {};
}

} // namespace files
