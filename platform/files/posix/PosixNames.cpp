#include "platform/files/posix/PosixFileSystem.h"

#include "platform/files/posix/SystemCalls.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace files {

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

} // namespace files
