#pragma once
// Unix symbolic links as Wine shows them: a link to a file looks like the
// file it leads to (no reparse point), one that leads nowhere looks like no
// file at all, and removing or renaming the name acts on the target. These
// tell such links apart and remove one without touching its target.
#include <string>

#include <windows.h>

namespace files {

// Whether `handle`, opened by `name`, reached a file other than the entry
// `name` names: the entry is a link that was followed.
bool LeadsElsewhere(HANDLE handle, const std::wstring& name);
// Whether `name`, which would not open, is a link that leads nowhere.
bool LeadsNowhere(const std::wstring& name);
// Removes the link at `name` itself; ERROR_SUCCESS or the error.
DWORD RemoveLinkItself(const std::wstring& name);

} // namespace files
