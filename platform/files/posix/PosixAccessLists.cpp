#include "platform/files/posix/PosixFileSystem.h"

#include "platform/files/posix/SystemCalls.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <vector>

namespace files {
namespace {

constexpr const char* AccessList = "system.posix_acl_access";

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

// Through the copy's own descriptor, never its name: a name that someone
// swapped for a link would hand the list to whatever it points at.
FileResult<bool> PosixFileSystem::TakeAccessList(const std::string& original, FileHandle copy)
{
    std::vector<char> list(LongestList);
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
        const bool writer = entry.tag == OwnerEntry || entry.tag == MaskEntry
                            || (entry.tag == NamedUser && userMayWrite(entry.id))
                            || (entry.tag == GroupEntry && groupMayWrite(lockInfo.group))
                            || (entry.tag == NamedGroup && groupMayWrite(entry.id))
                            || (entry.tag == OtherEntry && othersWrite);
        if (!writer)
            return true;
    }
    return false;
}

} // namespace files
