#include "platform/files/posix/PosixFileSystem.h"

#include "platform/files/posix/SystemCalls.h"

#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace files {
namespace {

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

} // namespace

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

} // namespace files
