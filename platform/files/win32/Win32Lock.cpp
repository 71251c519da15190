#include "platform/files/win32/Win32FileSystem.h"

#include "platform/files/win32/SystemErrors.h"

#include <windows.h>

namespace files {
namespace {

bool HeldElsewhere(DWORD error)
{
    return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING;
}

OVERLAPPED RangeAt(std::uint64_t offset)
{
    OVERLAPPED range{};
    range.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
    range.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return range;
}

} // namespace

// A byte-range lock, which the file system enforces between processes,
// sessions and the machines that share a folder; it dies with its holder.
FileResult<LockWait> Win32FileSystem::LockByte(FileHandle file, std::uint64_t offset, ByteLock lock,
                                               std::chrono::steady_clock::time_point deadline)
{
    Entry* entry = Find(file);
    if (!entry)
        return ErrorOf(ERROR_INVALID_HANDLE, "locked");
    if (lock == ByteLock::Free) {
        OVERLAPPED range = RangeAt(offset);
        if (!UnlockFileEx(entry->handle, 0, 1, 0, &range))
            return LastError("unlocked");
        return LockWait::Held;
    }
    const DWORD alone = lock == ByteLock::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0;
    const DWORD error = WhileBusy(
        [&] {
            OVERLAPPED range = RangeAt(offset);
            return LockFileEx(entry->handle, alone | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &range) ? ERROR_SUCCESS
                                                                                                : GetLastError();
        },
        HeldElsewhere, deadline);
    if (error == ERROR_SUCCESS)
        return LockWait::Held;
    if (HeldElsewhere(error))
        return LockWait::HeldElsewhere;
    return ErrorOf(error, "locked");
}

// Windows refuses to rename over a file that anyone holds open.
ReadersAndRenames Win32FileSystem::HowReadersMeetRenames() const
{
    return ReadersAndRenames::ReadersKeepRenamesOut;
}

} // namespace files
