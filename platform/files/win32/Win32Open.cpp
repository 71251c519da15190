#include "platform/files/win32/Win32FileSystem.h"

#include "platform/files/win32/HandleCalls.h"
#include "platform/files/win32/Security.h"
#include "platform/files/win32/SystemErrors.h"
#include "platform/files/win32/UnixLinks.h"
#include "platform/files/win32/WideText.h"

#include <new>
#include <optional>

#include <windows.h>

namespace files {
namespace {

// Every open lets others read, write and replace the file: a rewrite must
// never be kept from its rename by a copy of the program reading it.
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

struct Request {
    DWORD access = GENERIC_WRITE;
    DWORD disposition = OPEN_EXISTING;
    DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;

    bool FollowsLinks() const { return (flags & FILE_FLAG_OPEN_REPARSE_POINT) == 0; }
};

Request RequestFor(OpenMode mode)
{
    Request request;
    switch (mode) {
    case OpenMode::Read:
        request.access = GENERIC_READ;
        request.flags = FILE_ATTRIBUTE_NORMAL;
        break;
    case OpenMode::CreateOrKeep:
        request.disposition = OPEN_ALWAYS;
        break;
    case OpenMode::CreateNew:
        request.access = GENERIC_READ | GENERIC_WRITE;
        request.disposition = CREATE_NEW;
        break;
    case OpenMode::Existing:
        request.access = GENERIC_READ | GENERIC_WRITE;
        break;
    case OpenMode::Folder:
        // Flushing a folder wants a handle that may write it.
        request.access = GENERIC_READ | GENERIC_WRITE;
        request.flags = FILE_FLAG_BACKUP_SEMANTICS;
        break;
    case OpenMode::Lock:
        request.access = GENERIC_READ | GENERIC_WRITE;
        request.disposition = OPEN_ALWAYS;
        break;
    }
    return request;
}

// The handle, or INVALID_HANDLE_VALUE with the error; `existed` says whether
// the file stood there before.
struct Opened {
    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_SUCCESS;
    bool existed = true;
};

Opened CreateOrOpen(const std::wstring& wide, const Request& request, SECURITY_ATTRIBUTES& security)
{
    Opened opened;
    opened.error = WhileBusy(
        [&] {
            if (request.disposition != OPEN_ALWAYS) {
                opened.handle = CreateFileW(wide.c_str(), request.access, ShareAll, &security, request.disposition,
                                            request.flags, nullptr);
                opened.existed = request.disposition == OPEN_EXISTING;
                return opened.handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
            }
            // Made new only where no name stands: through a dangling link,
            // Wine would make the file it leads to and say it existed.
            opened.handle = CreateFileW(wide.c_str(), request.access, ShareAll, &security, CREATE_NEW,
                                        request.flags, nullptr);
            opened.existed = opened.handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS;
            if (opened.existed)
                opened.handle = CreateFileW(wide.c_str(), request.access, ShareAll, &security, OPEN_EXISTING,
                                            request.flags, nullptr);
            return opened.handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
        },
        IsSharingViolation);
    return opened;
}

FileError OpenFailure(const Opened& opened, const std::wstring& wide, const std::string& name, OpenMode mode,
                      const Request& request)
{
    if (opened.error == ERROR_FILE_NOT_FOUND && !request.FollowsLinks() && LeadsNowhere(wide))
        return LinkRefused("opened", name);
    const bool creates = mode == OpenMode::CreateOrKeep || mode == OpenMode::CreateNew;
    const bool named = GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
    return ErrorOf(opened.error, creates && (!named || mode == OpenMode::CreateNew) ? "created" : "opened", name);
}

// Closes the handle, and removes the file first where `remove`.
void LetGo(HANDLE& handle, bool remove)
{
    if (remove) {
        HANDLE made = ReOpenFile(handle, DELETE, ShareAll, 0);
        if (made != INVALID_HANDLE_VALUE) {
            RemoveThrough(made);
            CloseHandle(made);
        }
    }
    CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
}

// What the handle reached where it is not what was asked for; the handle
// (and a file it made) is let go then.
std::optional<FileError> Refusal(Opened& opened, const std::wstring& wide, const std::string& name, OpenMode mode,
                                 const Request& request)
{
    // Wine follows a Unix link even so, and creates what a dangling one
    // leads to: that file goes again, and the link is refused.
    if (!request.FollowsLinks() && LeadsElsewhere(opened.handle, wide)) {
        LetGo(opened.handle, !opened.existed);
        return LinkRefused(opened.existed ? "opened" : "created", name);
    }
    // A folder opened as a file, or a device: neither holds accounts.
    if (mode != OpenMode::Folder) {
        BY_HANDLE_FILE_INFORMATION information{};
        if (GetFileInformationByHandle(opened.handle, &information)
            && (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            LetGo(opened.handle, false);
            return ErrorOf(ERROR_DIRECTORY, "opened", name);
        }
    }
    // A FIFO at the lock's name: Wine opens it, then cannot examine it.
    if (mode == OpenMode::Lock && GetFileType(opened.handle) != FILE_TYPE_DISK) {
        LetGo(opened.handle, false);
        return FileError(FileFault::Other, "opened", name, "it is not a regular file");
    }
    return std::nullopt;
}

} // namespace

FileResult<FileHandle> Win32FileSystem::Open(const std::string& name, OpenMode mode)
{
    const Request request = RequestFor(mode);
    const std::wstring wide = WideOf(name);
    // The lock file holds nothing, and must open for whoever shares the folder.
    const bool creates = mode == OpenMode::CreateOrKeep || mode == OpenMode::CreateNew;
    SECURITY_ATTRIBUTES security{sizeof(security), nullptr, FALSE};
    if (creates && !(security.lpSecurityDescriptor = PrivateSecurity()))
        return LastError("created", name);
    Opened opened = CreateOrOpen(wide, request, security);
    // A folder one may not write is opened all the same: there is nothing to flush then.
    if (opened.handle == INVALID_HANDLE_VALUE && mode == OpenMode::Folder && opened.error == ERROR_ACCESS_DENIED)
        opened.handle = CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr, OPEN_EXISTING,
                                    request.flags, nullptr);
    if (opened.handle == INVALID_HANDLE_VALUE)
        return OpenFailure(opened, wide, name, mode, request);
    try {
        if (std::optional<FileError> refused = Refusal(opened, wide, name, mode, request))
            return *refused;
        return Add(Entry{opened.handle, mode == OpenMode::Folder});
    } catch (const std::bad_alloc&) {
        // Out of memory: what this call made goes again, and no handle stays open.
        if (opened.handle != INVALID_HANDLE_VALUE)
            LetGo(opened.handle, !opened.existed);
        throw;
    }
}

} // namespace files
