#include "platform/files/FileLock.h"

#include <cerrno>
#include <random>
#include <thread>

namespace files {
namespace {

bool OffersNoLock(int code)
{
    return code == ENOLCK || code == EOPNOTSUPP || code == ENOSYS || code == EBADF || code == EINVAL;
}

FileError LockError(const FileError& error, const std::string& name)
{
    if (OffersNoLock(error.Code()))
        return FileError(error.Code(), "locked", name, "its file system offers no lock to keep changes apart");
    return error.Named(name);
}

} // namespace

FileResult<FileLock> FileLock::Acquire(const std::string& name, std::chrono::milliseconds patience,
                                       LockCreation creation)
{
    FileSystem& fileSystem = CurrentFileSystem();
    const std::string lockName = fileSystem.LockNameFor(name);
    // Random pauses keep waiting copies from waking in step.
    std::minstd_rand random(std::random_device{}());
    std::uniform_int_distribution<int> pause(2, 20);
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        if (creation == LockCreation::RequireExisting) {
            auto there = fileSystem.Examine(name);
            if (!there.Ok())
                return there.Error();
            if (!there.Value().exists)
                return FileError(ENOENT, "opened", name);
        }
        auto opened = fileSystem.Open(lockName, OpenMode::Lock);
        if (!opened.Ok())
            return opened.Error().Named(lockName);
        FileLock lock(fileSystem, opened.Value());
        auto locked = fileSystem.TryLock(opened.Value());
        if (!locked.Ok())
            return LockError(locked.Error(), lockName);
        if (locked.Value()) {
            auto held = fileSystem.Examine(opened.Value());
            if (!held.Ok())
                return held.Error().Named(lockName);
            auto named = fileSystem.Examine(lockName);
            if (!named.Ok())
                return named.Error();
            // Replaced or removed while this copy waited: lock what is there now.
            if (held.Value().SameFileAs(named.Value()))
                return lock;
            continue;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return FileError(EWOULDBLOCK, "locked", lockName, "another copy of the program is using it");
        std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
    }
}

FileLock::FileLock(FileSystem& fileSystem, FileHandle file) : m_fileSystem(fileSystem), m_file(file) {}

FileLock::FileLock(FileLock&& other) noexcept : m_fileSystem(other.m_fileSystem), m_file(other.m_file)
{
    other.m_file = -1;
}

FileLock::~FileLock()
{
    // Closing the handle releases the lock, whatever close reports.
    if (m_file >= 0)
        m_fileSystem.Close(m_file);
}

FileStatus SyncFolder()
{
    const std::string folderName = ".";
    FileSystem& fileSystem = CurrentFileSystem();
    auto folder = fileSystem.Open(".", OpenMode::Folder);
    if (!folder.Ok())
        return folder.Error().Named(folderName);
    FileStatus synced = fileSystem.Sync(folder.Value());
    fileSystem.Close(folder.Value());
    if (!synced.Ok())
        return synced.Error().Named(folderName);
    return {};
}

} // namespace files
