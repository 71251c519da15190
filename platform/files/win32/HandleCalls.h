#pragma once
// Removal and renaming through an open handle, so that what was checked on
// the handle is what is removed or renamed, and the paths they take.
#include <string>

#include <windows.h>

namespace files {

std::wstring FullPathOf(const std::wstring& name);  // empty if it has none
std::wstring FinalPathOf(HANDLE handle);            // empty where the system cannot tell
// ERROR_SUCCESS or the error. The handle needs DELETE access.
DWORD RemoveThrough(HANDLE handle);
DWORD RenameThrough(HANDLE handle, const std::wstring& to, bool replace);

// Closes the handle however its scope is left, memory running out included;
// Close() closes it sooner.
class ClosedOnExit {
public:
    explicit ClosedOnExit(HANDLE& handle) : m_handle(handle) {}
    ClosedOnExit(const ClosedOnExit&) = delete;
    ClosedOnExit& operator=(const ClosedOnExit&) = delete;
    ~ClosedOnExit() { Close(); }
    void Close()
    {
        if (m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr)
            CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE& m_handle;
};

} // namespace files
