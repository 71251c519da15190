#include "platform/files/posix/PosixFileSystem.h"

#include "platform/files/posix/SystemCalls.h"

#include <csignal>
#include <unistd.h>

namespace files {

PosixFileSystem::PosixFileSystem()
{
    // Past the file-size limit a write fails with EFBIG and is undone like any
    // other failed write, instead of the signal killing the process mid-line.
    std::signal(SIGXFSZ, SIG_IGN);
}

FileStatus PosixFileSystem::Close(FileHandle file)
{
    // Linux releases the descriptor even when close fails, so it is never retried.
    if (::close(file) < 0 && errno != EINTR)
        return SystemError(errno, "closed");
    return {};
}

FileSystem& SystemFileSystem()
{
    static PosixFileSystem system;
    return system;
}

} // namespace files
