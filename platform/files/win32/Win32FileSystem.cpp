#include "platform/files/win32/Win32FileSystem.h"

#include "platform/files/win32/SystemErrors.h"

#include <windows.h>

namespace files {

FileHandle Win32FileSystem::Add(Entry entry)
{
    std::lock_guard guard(m_mutex);
    const FileHandle file = m_next++;
    m_entries.emplace(file, entry);
    return file;
}

Win32FileSystem::Entry* Win32FileSystem::Find(FileHandle file)
{
    std::lock_guard guard(m_mutex);
    const auto found = m_entries.find(file);
    return found == m_entries.end() ? nullptr : &found->second;
}

FileStatus Win32FileSystem::Close(FileHandle file)
{
    Entry entry;
    {
        std::lock_guard guard(m_mutex);
        const auto found = m_entries.find(file);
        if (found == m_entries.end())
            return ErrorOf(ERROR_INVALID_HANDLE, "closed");
        entry = found->second;
        m_entries.erase(found);
    }
    if (!CloseHandle(entry.handle))
        return LastError("closed");
    return {};
}

FileSystem& SystemFileSystem()
{
    static Win32FileSystem system;
    return system;
}

} // namespace files
