#include "platform/files/win32/Win32FileSystem.h"

#include "platform/files/win32/Security.h"
#include "platform/files/win32/SystemErrors.h"

#include <optional>

#include <windows.h>

namespace files {
namespace {

// One call moves at most this much, well within a DWORD.
DWORD PartOf(std::size_t size)
{
    return static_cast<DWORD>(size > 0x40000000 ? 0x40000000 : size);
}

} // namespace

FileResult<std::size_t> Win32FileSystem::Read(FileHandle file, char* buffer, std::size_t size)
{
    Entry* entry = Find(file);
    if (!entry)
        return ErrorOf(ERROR_INVALID_HANDLE, "read");
    DWORD count = 0;
    const DWORD wanted = PartOf(size);
    if (!ReadFile(entry->handle, buffer, wanted, &count, nullptr))
        return LastError("read");
    return static_cast<std::size_t>(count);
}

// Like pread: the file's own position stays where it was.
FileResult<std::size_t> Win32FileSystem::ReadAt(FileHandle file, std::uint64_t offset, char* buffer, std::size_t size)
{
    Entry* entry = Find(file);
    if (!entry)
        return ErrorOf(ERROR_INVALID_HANDLE, "read");
    LARGE_INTEGER position{};
    if (!SetFilePointerEx(entry->handle, LARGE_INTEGER{}, &position, FILE_CURRENT))
        return LastError("read");
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD count = 0;
    const DWORD wanted = PartOf(size);
    const BOOL read = ReadFile(entry->handle, buffer, wanted, &count, &at);
    const DWORD error = read ? ERROR_SUCCESS : GetLastError();
    SetFilePointerEx(entry->handle, position, nullptr, FILE_BEGIN);
    if (!read && error != ERROR_HANDLE_EOF)
        return ErrorOf(error, "read");
    return static_cast<std::size_t>(count);
}

// Like ftruncate: the file's own position stays where it was.
FileStatus Win32FileSystem::Truncate(FileHandle file, std::uint64_t size)
{
    Entry* entry = Find(file);
    if (!entry)
        return ErrorOf(ERROR_INVALID_HANDLE, "cut back");
    LARGE_INTEGER position{};
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(entry->handle, LARGE_INTEGER{}, &position, FILE_CURRENT)
        || !SetFilePointerEx(entry->handle, end, nullptr, FILE_BEGIN))
        return LastError("cut back");
    const BOOL cut = SetEndOfFile(entry->handle);
    const DWORD error = cut ? ERROR_SUCCESS : GetLastError();
    SetFilePointerEx(entry->handle, position, nullptr, FILE_BEGIN);
    if (!cut)
        return ErrorOf(error, "cut back");
    return {};
}

FileStatus Win32FileSystem::Write(FileHandle file, const char* data, std::size_t size)
{
    Entry* entry = Find(file);
    if (!entry)
        return ErrorOf(ERROR_INVALID_HANDLE, "written");
    while (size > 0) {
        DWORD count = 0;
        const DWORD wanted = PartOf(size);
        if (!WriteFile(entry->handle, data, wanted, &count, nullptr))
            return LastError("written");
        if (count == 0)
            return TookNothing();
        data += count;
        size -= count;
    }
    return {};
}

FileStatus Win32FileSystem::WriteAt(FileHandle file, std::uint64_t offset, const char* data, std::size_t size)
{
    Entry* entry = Find(file);
    if (!entry)
        return ErrorOf(ERROR_INVALID_HANDLE, "written");
    LARGE_INTEGER position{};
    if (!SetFilePointerEx(entry->handle, LARGE_INTEGER{}, &position, FILE_CURRENT))
        return LastError("written");
    DWORD error = ERROR_SUCCESS;
    bool tookNothing = false;
    while (size > 0 && error == ERROR_SUCCESS && !tookNothing) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD count = 0;
        const DWORD wanted = PartOf(size);
        if (!WriteFile(entry->handle, data, wanted, &count, &at))
            error = GetLastError();
        else if (count == 0)
            tookNothing = true;
        data += count;
        size -= count;
        offset += count;
    }
    SetFilePointerEx(entry->handle, position, nullptr, FILE_BEGIN);
    if (tookNothing)
        return TookNothing();
    if (error != ERROR_SUCCESS)
        return ErrorOf(error, "written");
    return {};
}

FileStatus Win32FileSystem::CopyRange(FileHandle from, std::uint64_t offset, FileHandle to, std::uint64_t size)
{
    return CopyThroughMemory(*this, from, offset, to, size);
}

FileStatus Win32FileSystem::SeekToEnd(FileHandle file)
{
    Entry* entry = Find(file);
    if (!entry)
        return ErrorOf(ERROR_INVALID_HANDLE, "positioned");
    if (!SetFilePointerEx(entry->handle, LARGE_INTEGER{}, nullptr, FILE_END))
        return LastError("positioned");
    return {};
}

// Windows writes at the end in one step; Wine looks the end up, then writes
// there, whatever the handle's access (a handle for appending only included).
EndWrite Win32FileSystem::HowEndIsWritten() const
{
    return RunsUnderWine() ? EndWrite::LookedUpFirst : EndWrite::OneStep;
}

// Both offsets all ones: at the end as the file is when the write happens,
// as through a handle opened only to append.
FileResult<std::uint64_t> Win32FileSystem::WriteAtEnd(FileHandle file, const char* data, std::size_t size)
{
    Entry* entry = Find(file);
    if (!entry)
        return ErrorOf(ERROR_INVALID_HANDLE, "written");
    std::optional<std::uint64_t> landed;
    while (size > 0) {
        OVERLAPPED atEnd{};
        atEnd.Offset = 0xFFFFFFFF;
        atEnd.OffsetHigh = 0xFFFFFFFF;
        DWORD count = 0;
        const DWORD wanted = PartOf(size);
        if (!WriteFile(entry->handle, data, wanted, &count, &atEnd))
            return LastError("written");
        if (count == 0)
            return TookNothing();
        // The position follows the bytes just written.
        LARGE_INTEGER position{};
        if (!SetFilePointerEx(entry->handle, LARGE_INTEGER{}, &position, FILE_CURRENT))
            return LastError("written");
        if (!landed)
            landed = static_cast<std::uint64_t>(position.QuadPart) - count;
        data += count;
        size -= count;
    }
    return landed.value_or(0);
}

// A folder is flushed too: the write-through of a rename does not reach the
// folder everywhere (under Wine it stops short of the folder's entry). File
// systems that cannot flush a folder write its entries through themselves.
FileStatus Win32FileSystem::Sync(FileHandle file)
{
    Entry* entry = Find(file);
    if (!entry)
        return ErrorOf(ERROR_INVALID_HANDLE, "saved to disk");
    if (FlushFileBuffers(entry->handle))
        return {};
    const DWORD error = GetLastError();
    if (entry->folder && (error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED || error == ERROR_ACCESS_DENIED
                          || error == ERROR_INVALID_PARAMETER))
        return {};
    return ErrorOf(error, "saved to disk");
}

} // namespace files
