#include "platform/files/posix/PosixFileSystem.h"

#include "platform/files/posix/SystemCalls.h"

#include <algorithm>
#include <fcntl.h>
#include <thread>

namespace files {

// Record locks, not flock: NFS carries them between machines, Samba maps a
// Windows client's byte-range lock onto them and Wine its LockFileEx, so the
// Windows build's bytes exclude us both ways. Locks of the open file, never
// the process's, which vanish when any other descriptor of the file closes.
FileResult<LockWait> PosixFileSystem::LockByte(FileHandle file, std::uint64_t offset, ByteLock lock,
                                               std::chrono::steady_clock::time_point deadline)
{
    struct flock range {};
    range.l_type = lock == ByteLock::Shared ? F_RDLCK : lock == ByteLock::Exclusive ? F_WRLCK : F_UNLCK;
    range.l_whence = SEEK_SET;
    range.l_start = static_cast<off_t>(offset);
    range.l_len = 1;
    for (auto pause = std::chrono::milliseconds(1);; pause = std::min(pause * 2, std::chrono::milliseconds(20))) {
        if (RetryOnInterrupt([&] { return ::fcntl(file, F_OFD_SETLK, &range); }) == 0)
            return LockWait::Held;
        if (errno != EAGAIN && errno != EACCES)
            return SystemError(errno, "locked");
        if (std::chrono::steady_clock::now() >= deadline)
            return LockWait::HeldElsewhere;
        std::this_thread::sleep_for(pause);
    }
}

// A rename replaces the name; readers keep the file they opened.
ReadersAndRenames PosixFileSystem::HowReadersMeetRenames() const
{
    return ReadersAndRenames::RenamesPassReaders;
}

} // namespace files
