#include "platform/files/win32/UnixLinks.h"

#include "platform/files/win32/HandleCalls.h"

namespace files {

// The handle's final path names what it reached; the folder's final path and
// the name as listed in it name the entry. Where a path cannot be had, the
// reparse point attribute is all there is to go by.
bool LeadsElsewhere(HANDLE handle, const std::wstring& name)
{
    const std::wstring reached = FinalPathOf(handle);
    const std::wstring full = FullPathOf(name);
    const std::size_t slash = full.find_last_of(L"\\/");
    if (reached.empty() || slash == std::wstring::npos)
        return false;
    HANDLE folder = CreateFileW(full.substr(0, slash + 1).c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE)
        return false;
    ClosedOnExit folderClosed(folder);
    std::wstring entry = FinalPathOf(folder);
    folderClosed.Close();
    WIN32_FIND_DATAW listed{};
    HANDLE search = FindFirstFileW(full.c_str(), &listed);
    if (entry.empty() || search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    if (entry.back() != L'\\')
        entry += L'\\';
    return reached != entry + listed.cFileName;
}

// Wine lists such a name as found and then skips it, where a missing name is
// not found at all.
bool LeadsNowhere(const std::wstring& name)
{
    WIN32_FIND_DATAW listed{};
    HANDLE search = FindFirstFileW(name.c_str(), &listed);
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
        return false;
    }
    return GetLastError() == ERROR_NO_MORE_FILES;
}

// A rename replaces the name itself, never what it leads to: a new empty file
// is renamed over the link, then removed.
DWORD RemoveLinkItself(const std::wstring& name)
{
    const std::wstring fresh = name + L"." + std::to_wstring(GetCurrentProcessId()) + L"-"
                               + std::to_wstring(GetTickCount64()) + L".removing";
    HANDLE handle = CreateFileW(fresh.c_str(), DELETE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD error = RenameThrough(handle, name, true);
    const DWORD removed = RemoveThrough(handle);
    CloseHandle(handle);
    return error != ERROR_SUCCESS ? error : removed;
}

} // namespace files
