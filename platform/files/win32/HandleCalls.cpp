#include "platform/files/win32/HandleCalls.h"

#include <algorithm>
#include <vector>

namespace files {

std::wstring FullPathOf(const std::wstring& name)
{
    const DWORD size = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return {};
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(name.c_str(), size, full.data(), nullptr);
    full.resize(length < size ? length : 0);
    return full;
}

std::wstring FinalPathOf(HANDLE handle)
{
    const DWORD size = GetFinalPathNameByHandleW(handle, nullptr, 0, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (size == 0)
        return {};
    std::wstring path(size, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(handle, path.data(), size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    path.resize(length < size ? length : 0);
    return path;
}

DWORD RemoveThrough(HANDLE handle)
{
    FILE_DISPOSITION_INFO disposition{TRUE};
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof(disposition))
               ? ERROR_SUCCESS
               : GetLastError();
}

// The new name goes to the system as an NT path ("\??\C:\..."), which the
// call takes as it is, whatever folder the name is in.
DWORD RenameThrough(HANDLE handle, const std::wstring& to, bool replace)
{
    std::wstring target = FullPathOf(to);
    if (target.empty())
        return GetLastError();
    if (target.rfind(L"\\\\?\\", 0) == 0)
        target.erase(0, 4);
    else if (target.rfind(L"\\\\", 0) == 0)
        target.replace(0, 2, L"UNC\\");
    target.insert(0, L"\\??\\");
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = replace;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::copy(target.begin(), target.end(), rename->FileName);
    return SetFileInformationByHandle(handle, FileRenameInfo, rename, static_cast<DWORD>(buffer.size()))
               ? ERROR_SUCCESS
               : GetLastError();
}

} // namespace files
