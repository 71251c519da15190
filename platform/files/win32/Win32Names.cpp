#include "platform/files/win32/Win32FileSystem.h"

#include "platform/files/win32/HandleCalls.h"
#include "platform/files/win32/Security.h"
#include "platform/files/win32/SystemErrors.h"
#include "platform/files/win32/UnixLinks.h"
#include "platform/files/win32/WideText.h"

#include <chrono>
#include <vector>

#include <windows.h>

namespace files {
namespace {

constexpr auto RightsVerdict = std::chrono::milliseconds(250);

// Whether another program's handle keeps `name` from being replaced, as
// opposed to a lack of rights.
bool HeldOpen(const std::wstring& name)
{
    HANDLE probe = CreateFileW(name.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(probe);
    return false;
}

// A replacement takes the replaced file's place whole: its security and its
// hidden and system attributes, as it keeps the file's mode elsewhere. They
// go to the copy through its handle, never to whatever its name leads to.
DWORD TakeOnPlaceOf(HANDLE copy, const std::wstring& target)
{
    const DWORD kept = GetFileAttributesW(target.c_str());
    if (kept == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ERROR_SUCCESS : error;
    }
    // Wine keeps an access list as Unix mode bits, reads it back without the
    // group's and writes it back wider (0644 became 0775): there the copy
    // keeps the private list it was made with.
    if (!RunsUnderWine()) {
        DWORD size = 0;
        GetFileSecurityW(target.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
        std::vector<char> security(size);
        if (!GetFileSecurityW(target.c_str(), DACL_SECURITY_INFORMATION, security.data(), size, &size)
            || !SetKernelObjectSecurity(copy, DACL_SECURITY_INFORMATION, security.data()))
            return GetLastError();
    }
    const DWORD hiding = kept & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    FILE_BASIC_INFO basic{};
    if (!hiding)
        return ERROR_SUCCESS;
    if (!GetFileInformationByHandleEx(copy, FileBasicInfo, &basic, sizeof(basic)))
        return GetLastError();
    basic = FILE_BASIC_INFO{{}, {}, {}, {}, (basic.FileAttributes & ~FILE_ATTRIBUTE_NORMAL) | hiding};
    if (!SetFileInformationByHandle(copy, FileBasicInfo, &basic, sizeof(basic)))
        return GetLastError();
    return ERROR_SUCCESS;
}

bool StillNamed(const std::wstring& name, const BY_HANDLE_FILE_INFORMATION& file)
{
    HANDLE handle = CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION now{};
    const bool same = GetFileInformationByHandle(handle, &now) && now.nNumberOfLinks > 0
                      && now.dwVolumeSerialNumber == file.dwVolumeSerialNumber
                      && now.nFileIndexHigh == file.nFileIndexHigh && now.nFileIndexLow == file.nFileIndexLow;
    CloseHandle(handle);
    return same;
}

} // namespace

// One step that replaces `to`, written through to the disk before it returns.
// It goes through one handle to the source, opened without following a link
// and checked to be no link under Wine, so that every try renames that file.
// Windows does not replace a file that another program holds open, not even
// one that shares its removal: that is waited for, and told apart from a lack
// of rights when patience runs out.
FileStatus Win32FileSystem::Rename(const std::string& from, const std::string& to, RenameMode mode)
{
    const std::wstring source = WideOf(from);
    const std::wstring target = WideOf(to);
    const bool replace = mode == RenameMode::Replace;
    const DWORD access = DELETE | FILE_READ_ATTRIBUTES | (replace ? WRITE_DAC | FILE_WRITE_ATTRIBUTES : 0);
    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD error = WhileBusy(
        [&] {
            handle = CreateFileW(source.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_WRITE_THROUGH,
                                 nullptr);
            return handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
        },
        IsSharingViolation);
    if (handle == INVALID_HANDLE_VALUE)
        return ErrorOf(error, "renamed to " + to, from);
    ClosedOnExit closed(handle);
    if (LeadsElsewhere(handle, source)) {
        closed.Close();
        return LinkRefused("renamed to " + to, from);
    }
    if (replace && (error = TakeOnPlaceOf(handle, target)) != ERROR_SUCCESS) {
        closed.Close();
        return ErrorOf(error, "given the security of " + to, from);
    }
    // Windows says "access denied" for both. A holder may let go before it is
    // seen, so a lack of rights is only concluded after a short while.
    const auto start = std::chrono::steady_clock::now();
    bool seenHeld = false;
    const auto held = [&](DWORD error) {
        if (IsSharingViolation(error))
            return seenHeld = true;
        if (error != ERROR_ACCESS_DENIED)
            return false;
        seenHeld = seenHeld || HeldOpen(target);
        return seenHeld || std::chrono::steady_clock::now() - start < RightsVerdict;
    };
    error = WhileBusy([&] { return RenameThrough(handle, target, replace); }, held);
    closed.Close();
    if (error == ERROR_SUCCESS)
        return {};
    if (seenHeld)
        return FileError(FileFault::Other, "renamed to " + to, from, "another program kept " + to + " open");
    return ErrorOf(error, "renamed to " + to, from);
}

// Like unlink, which a read-only file does not stop: the attribute is
// cleared first, and put back if the file stays. A link is removed, never
// what it leads to; a folder is not removed.
FileStatus Win32FileSystem::Remove(const std::string& name)
{
    const std::wstring wide = WideOf(name);
    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD error = WhileBusy(
        [&] {
            handle = CreateFileW(wide.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
            return handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
        },
        IsSharingViolation);
    if (handle == INVALID_HANDLE_VALUE) {
        if (error == ERROR_FILE_NOT_FOUND && LeadsNowhere(wide))
            error = RemoveLinkItself(wide);
        return error == ERROR_SUCCESS ? FileStatus{} : ErrorOf(error, "removed", name);
    }
    ClosedOnExit closed(handle);
    if (LeadsElsewhere(handle, wide)) {
        closed.Close();
        error = RemoveLinkItself(wide);
        return error == ERROR_SUCCESS ? FileStatus{} : ErrorOf(error, "removed", name);
    }
    FILE_BASIC_INFO basic{};
    error = RemoveThrough(handle);
    // Wine reopens a handle by the file's name, which a link swapped in
    // could lead elsewhere: there a read-only file is left to its owner.
    if (error == ERROR_ACCESS_DENIED && !RunsUnderWine()
        && GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof(basic))
        && (basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) {
        HANDLE attributes = ReOpenFile(handle, FILE_WRITE_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
        const DWORD kept = basic.FileAttributes;
        const DWORD writable = kept & ~FILE_ATTRIBUTE_READONLY;
        const auto setAttributes = [&](DWORD value) {
            FILE_BASIC_INFO changed{{}, {}, {}, {}, value ? value : FILE_ATTRIBUTE_NORMAL};
            return attributes != INVALID_HANDLE_VALUE
                   && SetFileInformationByHandle(attributes, FileBasicInfo, &changed, sizeof(changed));
        };
        if (setAttributes(writable)) {
            error = RemoveThrough(handle);
            if (error != ERROR_SUCCESS)
                setAttributes(kept);
        }
        if (attributes != INVALID_HANDLE_VALUE)
            CloseHandle(attributes);
    }
    BY_HANDLE_FILE_INFORMATION removed{};
    const bool known = GetFileInformationByHandle(handle, &removed);
    closed.Close();
    if (error != ERROR_SUCCESS)
        return ErrorOf(error, "removed", name);
    // Wine removes the file as the last handle closes and says nothing if the
    // system refuses then (a sticky folder): a file still there is told.
    if (known && StillNamed(wide, removed))
        return ErrorOf(ERROR_ACCESS_DENIED, "removed", name);
    return {};
}

} // namespace files
