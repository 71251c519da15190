#include "platform/FileLock.h"

#include <cerrno>
#include <random>
#include <thread>

namespace platform {
namespace {

const std::string FolderName = "the current folder";

} // namespace

FileResult<FolderLock> FolderLock::Acquire(std::chrono::milliseconds patience)
{
    FileSystem& fileSystem = CurrentFileSystem();
    auto folder = fileSystem.Open(".", OpenMode::Folder);
    if (!folder.Ok())
        return folder.Error().Named(FolderName);
    FolderLock lock(fileSystem, folder.Value());
    // Random pauses keep waiting copies from waking in step.
    std::minstd_rand random(std::random_device{}());
    std::uniform_int_distribution<int> pause(2, 20);
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        auto locked = fileSystem.TryLock(folder.Value());
        if (!locked.Ok())
            return locked.Error().Named(FolderName);
        if (locked.Value())
            return lock;
        if (std::chrono::steady_clock::now() >= deadline)
            return FileError(EWOULDBLOCK, "locked", FolderName, "another copy of the program is using it");
        std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
    }
}

FolderLock::FolderLock(FileSystem& fileSystem, FileHandle folder) : m_fileSystem(fileSystem), m_folder(folder) {}

FolderLock::FolderLock(FolderLock&& other) noexcept : m_fileSystem(other.m_fileSystem), m_folder(other.m_folder)
{
    other.m_folder = -1;
}

FolderLock::~FolderLock()
{
    // Closing the last descriptor releases the lock, whatever close reports.
    if (m_folder >= 0)
        m_fileSystem.Close(m_folder);
}

FileStatus FolderLock::SyncFolder()
{
    if (FileStatus synced = m_fileSystem.Sync(m_folder); !synced.Ok())
        return synced.Error().Named(FolderName);
    return {};
}

} // namespace platform
