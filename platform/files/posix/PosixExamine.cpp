#include "platform/files/posix/PosixFileSystem.h"

#include "platform/files/posix/SystemCalls.h"

#include <algorithm>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace files {
namespace {

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

} // namespace

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

std::string PosixFileSystem::UserName(unsigned user) const
{
    passwd entry {};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return "user " + std::to_string(user);
    return entry.pw_name;
}

} // namespace files
