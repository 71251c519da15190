#include "platform/files/FileLock.h"

#include <random>
#include <thread>

namespace files {
namespace {

FileError LockError(const FileError& error, const std::string& name)
{
    if (error.IsUnsupported())
        return error.Told("locked", name, "its file system offers no lock to keep changes apart");
    return error.Named(name);
}

// Whoever may write the user file may take its lock, and nobody else: the
// lock file's owner gives it the user file's group and its group's and
// others' read and write bits, keeping its own.
FileStatus ShareLockLike(FileSystem& fileSystem, FileHandle lock, const FileInfo& lockInfo, const FileInfo& userFile)
{
    if (lockInfo.owner != fileSystem.ProcessOwner() || lockInfo.links != 1)
        return {};
    const bool shared = userFile.exists && userFile.regular;
    if (shared && lockInfo.group != userFile.group && fileSystem.IsMember(lockInfo.owner, userFile.group)) {
        FileStatus grouped = fileSystem.SetOwner(lock, lockInfo.owner, userFile.group);
        if (!grouped.Ok())
            return grouped;
    }
    // Its owner keeps reading and writing it whatever the umask it was made under.
    const unsigned mode = 0600 | (shared ? userFile.mode & 0066 : 0);
    return lockInfo.mode == mode ? FileStatus{} : fileSystem.SetMode(lock, mode);
}

FileError NotRegular(const std::string& lockName)
{
    return FileError(FileFault::Other, "opened", lockName, "it is not a regular file");
}

} // namespace

std::string LockNameFor(const std::string& name)
{
    const std::size_t dot = name.find_last_of('.');
    return (dot == std::string::npos ? name : name.substr(0, dot)) + ".lock";
}

FileResult<FileLock> FileLock::Acquire(const std::string& name, std::chrono::milliseconds patience,
                                       LockCreation creation)
{
    FileSystem& fileSystem = CurrentFileSystem();
    const std::string lockName = LockNameFor(name);
    // Random pauses keep waiting copies from waking in step.
    std::minstd_rand random(std::random_device{}());
    std::uniform_int_distribution<int> pause(2, 20);
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        auto opened = fileSystem.Open(lockName, OpenMode::Lock);
        if (!opened.Ok()) {
            // Windows calls a folder there only "access denied".
            if (auto there = fileSystem.Examine(lockName); there.Ok() && there.Value().exists && !there.Value().regular)
                return NotRegular(lockName);
            return opened.Error().Named(lockName);
        }
        FileLock lock(fileSystem, opened.Value());
        auto held = fileSystem.Examine(opened.Value());
        if (!held.Ok())
            return held.Error().Named(lockName);
        if (!held.Value().regular)
            return NotRegular(lockName);
        auto locked = fileSystem.TryLock(opened.Value());
        if (!locked.Ok())
            return LockError(locked.Error(), lockName);
        if (locked.Value()) {
            auto named = fileSystem.Examine(lockName);
            if (!named.Ok())
                return named.Error();
            // Removed by hand while this copy waited: the lock that counts is
            // the file named so now.
            if (held.Value().SameFileAs(named.Value())) {
                auto userFile = fileSystem.Examine(name);
                if (!userFile.Ok())
                    return userFile.Error();
                if (creation == LockCreation::RequireExisting && !userFile.Value().exists)
                    return FileError(FileFault::Missing, "opened", name, "it does not exist");
                FileStatus shared = ShareLockLike(fileSystem, opened.Value(), held.Value(), userFile.Value());
                if (!shared.Ok())
                    return shared.Error().Named(lockName);
                return lock;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return FileError(FileFault::Busy, "locked", lockName, "another copy of the program is using it");
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

} // namespace files
