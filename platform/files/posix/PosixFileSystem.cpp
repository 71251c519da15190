#include "platform/files/posix/PosixFileSystem.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <linux/magic.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <optional>
#include <thread>
#include <unistd.h>
#include <vector>

namespace files {
namespace {

// The faults that the layers above ask about, from errno. Busy is the lock's
// own word for another copy's change (TryLock); no call's errno means it.
FileError SystemError(int code, std::string action, std::string name = {}, std::string reason = {})
{
    FileFault fault = FileFault::Other;
    if (code == ENOENT)
        fault = FileFault::Missing;
    else if (code == EEXIST)
        fault = FileFault::Exists;
    else if (code == ENOLCK || code == EOPNOTSUPP || code == ENOSYS)
        fault = FileFault::Unsupported;
    else if (code == EACCES || code == EPERM)
        fault = FileFault::Denied;
    return FileError(fault, std::move(action), std::move(name), reason.empty() ? std::strerror(code) : std::move(reason));
}

constexpr mode_t NewFileMode = 0600;  // passwords are stored in clear
constexpr auto LeasePatience = std::chrono::seconds(5);

int FlagsOf(OpenMode mode)
{
    switch (mode) {
    case OpenMode::Read: return O_RDONLY | O_NONBLOCK;
    case OpenMode::CreateOrKeep: return O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK;
    case OpenMode::CreateNew: return O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW;
    case OpenMode::Existing: return O_RDWR | O_NOFOLLOW | O_NONBLOCK;
    case OpenMode::Folder: return O_RDONLY | O_DIRECTORY;
    case OpenMode::Lock: return O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK;
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
    info.links = static_cast<unsigned>(status.st_nlink);
    info.owner = status.st_uid;
    info.group = status.st_gid;
    info.volume = static_cast<std::uint64_t>(status.st_dev);
    info.index = static_cast<std::uint64_t>(status.st_ino);
    return info;
}

constexpr const char* AccessList = "system.posix_acl_access";

// Goes on after short counts and interruptions until all is written or a call fails.
template <class WritePart>
FileStatus WriteAll(const char* data, std::size_t size, WritePart writePart)
{
    std::uint64_t done = 0;
    while (size > 0) {
        const ssize_t count = writePart(data, size, done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return SystemError(errno, "written");
        // Nothing taken and no error: asking again would only loop.
        if (count == 0)
            return FileError(FileFault::Other, "written", {}, "the system took none of the bytes");
        data += count;
        size -= static_cast<std::size_t>(count);
        done += static_cast<std::uint64_t>(count);
    }
    return {};
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

PosixFileSystem::PosixFileSystem()
{
    // Past the file-size limit a write fails with EFBIG and is undone like any
    // other failed write, instead of the signal killing the process mid-line.
    std::signal(SIGXFSZ, SIG_IGN);
}

FileResult<FileHandle> PosixFileSystem::Open(const std::string& name, OpenMode mode)
{
    // Born 0600 whatever the umask: a mode set afterwards could be cut off by a
    // kill, leaving a file its owner may no longer write. The umask is the
    // process's; the program makes its files from one thread.
    const mode_t umask = ::umask(0077);
    int file = RetryOnInterrupt([&] { return ::open(name.c_str(), FlagsOf(mode) | O_CLOEXEC, NewFileMode); });
    // A lease (a file server's, for a client's oplock) refuses a non-blocking
    // open until its holder lets go, which the open itself asks of it.
    for (const auto deadline = std::chrono::steady_clock::now() + LeasePatience;
         file < 0 && errno == EWOULDBLOCK && std::chrono::steady_clock::now() < deadline;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        file = RetryOnInterrupt([&] { return ::open(name.c_str(), FlagsOf(mode) | O_CLOEXEC, NewFileMode); });
    }
    // In a sticky folder that anyone may write, the system may refuse a
    // creating open of another user's file that its bits let one open.
    if (file < 0 && (errno == EACCES || errno == EPERM) && mode == OpenMode::Lock)
        file = RetryOnInterrupt([&] { return ::open(name.c_str(), (FlagsOf(mode) & ~O_CREAT) | O_CLOEXEC); });
    ::umask(umask);
    if (file < 0) {
        const int code = errno;
        // A file that stands there was not to be created, only opened, unless it had to be new.
        struct stat status {};
        const bool stands = mode != OpenMode::CreateNew && ::lstat(name.c_str(), &status) == 0;
        const bool creates = mode == OpenMode::CreateOrKeep || mode == OpenMode::CreateNew;
        return SystemError(code, creates && !stands ? "created" : "opened", name,
                           code == EWOULDBLOCK ? "another program is using it" : "");
    }
    if (mode == OpenMode::Read || mode == OpenMode::Lock || mode == OpenMode::CreateOrKeep || mode == OpenMode::Existing) {
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

FileStatus PosixFileSystem::Close(FileHandle file)
{
    // Linux releases the descriptor even when close fails, so it is never retried.
    if (::close(file) < 0 && errno != EINTR)
        return SystemError(errno, "closed");
    return {};
}

FileStatus PosixFileSystem::Rename(const std::string& from, const std::string& to, RenameMode mode)
{
    int renamed = mode == RenameMode::Replace
                      ? ::rename(from.c_str(), to.c_str())
                      : ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    if (renamed < 0 && mode == RenameMode::KeepExisting && (errno == EINVAL || errno == ENOSYS)) {
        // A file system without the no-replace rename: a link cannot replace either.
        renamed = ::link(from.c_str(), to.c_str());
        // Two names would refuse every later change: the new one goes again,
        // or the user is told which name to remove.
        if (renamed == 0 && ::unlink(from.c_str()) < 0) {
            const int code = errno;
            if (::unlink(to.c_str()) < 0)
                return SystemError(code, "renamed to " + to, from,
                                 std::string(std::strerror(code)) + "; the file now has both names, and " + from
                                     + " is to be removed by hand");
            errno = code;
            renamed = -1;
        }
    }
    if (renamed < 0)
        return SystemError(errno, "renamed to " + to, from);
    return {};
}

FileStatus PosixFileSystem::Remove(const std::string& name)
{
    if (::unlink(name.c_str()) < 0)
        return SystemError(errno, "removed", name);
    return {};
}

FileResult<FileInfo> PosixFileSystem::Examine(const std::string& name)
{
    struct stat status {};
    if (::lstat(name.c_str(), &status) < 0) {
        if (errno == ENOENT)
            return FileInfo{};
        return SystemError(errno, "examined", name);
    }
    // As the process's effective user, whom the owner check names too.
    bool writable = !S_ISLNK(status.st_mode) && ::faccessat(AT_FDCWD, name.c_str(), W_OK, AT_EACCESS) == 0;
    return InfoOf(status, writable);
}

FileResult<FileInfo> PosixFileSystem::Examine(FileHandle file)
{
    struct stat status {};
    if (::fstat(file, &status) < 0)
        return SystemError(errno, "examined");
    return InfoOf(status, true);
}

FileStatus PosixFileSystem::SetMode(FileHandle file, unsigned mode)
{
    if (::fchmod(file, static_cast<mode_t>(mode)) < 0)
        return SystemError(errno, "given its permissions");
    return {};
}

FileStatus PosixFileSystem::SetOwner(FileHandle file, unsigned owner, unsigned group)
{
    if (::fchown(file, static_cast<uid_t>(owner), static_cast<gid_t>(group)) < 0)
        return SystemError(errno, "given its owner");
    return {};
}

unsigned PosixFileSystem::ProcessOwner() const
{
    return ::geteuid();
}

bool PosixFileSystem::IsMember(unsigned user, unsigned group) const
{
    passwd entry {};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return false;
    if (entry.pw_gid == group)
        return true;
    int count = 256;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    // Too small a list fails and says how many there are.
    while (::getgrouplist(entry.pw_name, entry.pw_gid, groups.data(), &count) < 0) {
        if (static_cast<std::size_t>(count) <= groups.size())
            return false;
        groups.resize(static_cast<std::size_t>(count));
    }
    groups.resize(static_cast<std::size_t>(count));
    return std::find(groups.begin(), groups.end(), static_cast<gid_t>(group)) != groups.end();
}

// Through the copy's own descriptor, never its name: a name that someone
// swapped for a link would hand the list to whatever it points at.
FileResult<bool> PosixFileSystem::TakeAccessList(const std::string& original, FileHandle copy)
{
    std::vector<char> list(65536);
    const ssize_t size = ::lgetxattr(original.c_str(), AccessList, list.data(), list.size());
    if (size >= 0) {
        if (::fsetxattr(copy, AccessList, list.data(), static_cast<std::size_t>(size), 0) < 0)
            return SystemError(errno, "given the access list of " + original);
        return true;
    }
    if (errno != ENODATA && errno != ENOTSUP)
        return SystemError(errno, "examined", original);
    // A list that the copy took from its folder's default goes: the original had none.
    if (::fremovexattr(copy, AccessList) < 0 && errno != ENODATA && errno != ENOTSUP)
        return SystemError(errno, "given the access list of " + original);
    return false;
}

namespace {

// An access list as the kernel stores it: a version, then entries of a tag,
// permission bits and an id, in the kernel's order.
struct AccessEntry {
    std::uint16_t tag;
    std::uint16_t permissions;
    std::uint32_t id;
};
enum : std::uint16_t { OwnerEntry = 0x01, NamedUser = 0x02, GroupEntry = 0x04, NamedGroup = 0x08, MaskEntry = 0x10, OtherEntry = 0x20 };
constexpr std::uint16_t ReadWrite = 06;
constexpr std::uint16_t WriteBit = 02;
constexpr std::size_t ListHeader = 4;
constexpr std::uint32_t NoId = 0xFFFFFFFF;
constexpr std::size_t LongestList = 65536;

// The entries of a file's list, read whole; none where it has none, or an
// error other than that.
std::optional<std::vector<AccessEntry>> EntriesOf(const std::vector<char>& list, ssize_t size)
{
    if (size < 0)
        return std::nullopt;
    const std::size_t count = (static_cast<std::size_t>(size) - std::min<std::size_t>(size, ListHeader)) / sizeof(AccessEntry);
    std::vector<AccessEntry> entries(count);
    std::memcpy(entries.data(), list.data() + ListHeader, count * sizeof(AccessEntry));
    return entries;
}

std::uint16_t MaskOf(const std::vector<AccessEntry>& entries)
{
    for (const AccessEntry& entry : entries)
        if (entry.tag == MaskEntry)
            return entry.permissions;
    return ReadWrite;
}

} // namespace

// Built from `original`'s list entry by entry: one that may write it (through
// the mask, for the group class) gets read and write, any other nothing. The
// lock's maker is its owner entry, so `original`'s owner, where another,
// gets an entry by name: without it the accounts' owner is shut out.
FileResult<bool> PosixFileSystem::LetInWritersOf(const std::string& original, FileHandle lock, unsigned classMode)
{
    struct stat originalStatus {}, lockStatus {};
    const bool ownersApart = ::lstat(original.c_str(), &originalStatus) == 0 && ::fstat(lock, &lockStatus) == 0
                             && originalStatus.st_uid != lockStatus.st_uid;
    std::vector<char> list(LongestList);
    const ssize_t size = ::lgetxattr(original.c_str(), AccessList, list.data(), list.size());
    std::optional<std::vector<AccessEntry>> listed = EntriesOf(list, size);
    if (!listed) {
        const int error = errno;
        if (error != ENODATA && error != ENOTSUP)
            return SystemError(error, "examined", original);
        // One the lock took from its folder's default would let its entries in.
        if (error == ENOTSUP || !ownersApart) {
            if (::fremovexattr(lock, AccessList) < 0 && errno != ENODATA && errno != ENOTSUP)
                return SystemError(errno, "given its permissions");
            return false;
        }
        const std::uint32_t version = 2;
        std::memcpy(list.data(), &version, ListHeader);
        listed = std::vector<AccessEntry>{{OwnerEntry, 0, NoId}, {GroupEntry, ReadWrite, NoId}, {OtherEntry, 0, NoId}};
    }
    std::vector<AccessEntry>& entries = *listed;
    const std::uint16_t mask = MaskOf(entries);
    const auto mayWrite = [&](const AccessEntry& entry) { return (entry.permissions & mask & WriteBit) != 0; };
    std::uint16_t groupClass = 0;
    for (AccessEntry& entry : entries) {
        switch (entry.tag) {
        case OwnerEntry: entry.permissions = ReadWrite; break;
        case OtherEntry: entry.permissions = static_cast<std::uint16_t>(classMode & ReadWrite); break;
        case GroupEntry:
            entry.permissions = mayWrite(entry) && (classMode & 0060) != 0 ? ReadWrite : 0;
            groupClass |= entry.permissions;
            break;
        case NamedUser:
        case NamedGroup:
            entry.permissions = mayWrite(entry) ? ReadWrite : 0;
            groupClass |= entry.permissions;
            break;
        default: break;
        }
    }
    if (ownersApart) {
        groupClass |= ReadWrite;
        const auto named = std::find_if(entries.begin(), entries.end(), [&](const AccessEntry& entry) {
            return entry.tag == NamedUser && entry.id == originalStatus.st_uid;
        });
        if (named != entries.end())
            named->permissions = ReadWrite;
        else
            entries.push_back({NamedUser, ReadWrite, static_cast<std::uint32_t>(originalStatus.st_uid)});
        if (std::none_of(entries.begin(), entries.end(), [](const AccessEntry& entry) { return entry.tag == MaskEntry; }))
            entries.push_back({MaskEntry, 0, NoId});
        std::sort(entries.begin(), entries.end(), [](const AccessEntry& left, const AccessEntry& right) {
            return left.tag != right.tag ? left.tag < right.tag : left.id < right.id;
        });
    }
    for (AccessEntry& entry : entries)
        if (entry.tag == MaskEntry)
            entry.permissions = groupClass;
    std::memcpy(list.data() + ListHeader, entries.data(), entries.size() * sizeof(AccessEntry));
    if (::fsetxattr(lock, AccessList, list.data(), ListHeader + entries.size() * sizeof(AccessEntry), 0) < 0)
        return SystemError(errno, "given its permissions");
    return true;
}

std::string PosixFileSystem::UserName(unsigned user) const
{
    passwd entry {};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return "user " + std::to_string(user);
    return entry.pw_name;
}

// Under an access list the group class bits stand for the mask: the user
// file's group is judged by its own entry, and a lock's entries one by one
// against the user file's writers. A lock's owner, named users, group or
// others that may open it but not write the user file make it open beyond them.
bool PosixFileSystem::OpenBeyondWriters(FileHandle lock, const FileInfo& lockInfo, const std::string& userFile,
                                        const FileInfo& userFileInfo) const
{
    std::vector<char> list(LongestList);
    const std::vector<AccessEntry> fileEntries
        = EntriesOf(list, ::lgetxattr(userFile.c_str(), AccessList, list.data(), list.size())).value_or(std::vector<AccessEntry>{});
    const std::uint16_t fileMask = MaskOf(fileEntries);
    const auto writes = [&](std::uint16_t tag, std::uint32_t id) {
        return std::any_of(fileEntries.begin(), fileEntries.end(), [&](const AccessEntry& entry) {
            return entry.tag == tag && (entry.id == id || tag == GroupEntry) && (entry.permissions & fileMask & WriteBit) != 0;
        });
    };
    const bool groupWrites = fileEntries.empty() ? (userFileInfo.mode & 0020) != 0 : writes(GroupEntry, NoId);
    const auto groupMayWrite = [&](std::uint32_t group) { return (group == userFileInfo.group && groupWrites) || writes(NamedGroup, group); };
    const bool othersWrite = (userFileInfo.mode & 0002) != 0;
    // A user writes the accounts as their owner, by name, or through a group;
    // one the system cannot name has no groups to ask for, and is let be.
    const auto userMayWrite = [&](std::uint32_t user) {
        return user == 0 || user == userFileInfo.owner || writes(NamedUser, user) || othersWrite
               || UserName(user) == "user " + std::to_string(user)
               || (groupWrites && IsMember(user, userFileInfo.group))
               || std::any_of(fileEntries.begin(), fileEntries.end(), [&](const AccessEntry& entry) {
                      return entry.tag == NamedGroup && (entry.permissions & fileMask & WriteBit) != 0
                             && IsMember(user, entry.id);
                  });
    };
    // Its owner may always open it again, whatever its own entry says.
    if (!userMayWrite(lockInfo.owner))
        return true;
    const std::optional<std::vector<AccessEntry>> lockEntries = EntriesOf(list, ::fgetxattr(lock, AccessList, list.data(), list.size()));
    if (!lockEntries)
        return ((lockInfo.mode & 0006) != 0 && !othersWrite) || ((lockInfo.mode & 0060) != 0 && !groupMayWrite(lockInfo.group));
    const std::uint16_t mask = MaskOf(*lockEntries);
    for (const AccessEntry& entry : *lockEntries) {
        const bool masked = entry.tag == NamedUser || entry.tag == GroupEntry || entry.tag == NamedGroup;
        if ((entry.permissions & (masked ? mask : ReadWrite) & ReadWrite) == 0)
            continue;
        const bool writer = entry.tag == MaskEntry || entry.tag == OwnerEntry
                            || (entry.tag == NamedUser && userMayWrite(entry.id))
                            || (entry.tag == GroupEntry && groupMayWrite(lockInfo.group))
                            || (entry.tag == NamedGroup && groupMayWrite(entry.id))
                            || (entry.tag == OtherEntry && othersWrite);
        if (!writer)
            return true;
    }
    return false;
}

FileResult<bool> PosixFileSystem::TryLock(FileHandle file)
{
    // Record locks, not flock: NFS carries them between machines, Samba maps
    // a Windows client's byte-range lock onto them and Wine its LockFileEx, so
    // the Windows build's byte excludes us both ways. Locks of the open file,
    // never the process's, which vanish when any other descriptor of the file
    // closes.
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_start = 0;
    range.l_len = 1;
    const int locked = RetryOnInterrupt([&] { return ::fcntl(file, F_OFD_SETLK, &range); });
    if (locked == 0)
        return true;
    if (errno == EAGAIN || errno == EACCES)
        return false;
    return SystemError(errno, "locked");
}

FileSystem& SystemFileSystem()
{
    static PosixFileSystem system;
    return system;
}

} // namespace files
