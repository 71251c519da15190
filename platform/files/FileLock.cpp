#include "platform/files/FileLock.h"

#include <random>
#include <thread>
#include <utility>

namespace files {
namespace {

const std::string AnotherUsersLock =
    "it is another user's file, which may be removed while no copy of the program is running";

FileError LockError(const FileError& error, const std::string& name)
{
    if (error.IsUnsupported())
        return error.Told("locked", name, "its file system offers no lock to keep changes apart");
    return error.Named(name);
}

// Whoever may write the user file may take its lock, and nobody else: a
// read lock of the first byte holds every change off as surely as a write
// lock. The lock takes the user file's owner where the system lets it (root
// in another's folder), else its group where the owner is a member; a class
// that may not write the user file, or whose group was not given, gets no
// bit. A lock whose permissions cannot be set is still held: no change fails.
// Under an access list the user file's named entries are let in by the same
// rule, entry by entry.
void ShareLockLike(FileSystem& fileSystem, FileHandle lock, const FileInfo& lockInfo, const FileInfo& userFile,
                   const std::string& name)
{
    if (lockInfo.owner != fileSystem.ProcessOwner() || lockInfo.links != 1)
        return;
    const bool shared = userFile.exists && userFile.regular;
    bool groupGiven = shared && lockInfo.group == userFile.group;
    if (shared && lockInfo.owner != userFile.owner && fileSystem.SetOwner(lock, userFile.owner, userFile.group).Ok())
        groupGiven = true;
    else if (shared && !groupGiven && fileSystem.IsMember(lockInfo.owner, userFile.group))
        groupGiven = fileSystem.SetOwner(lock, lockInfo.owner, userFile.group).Ok();
    // Its owner keeps reading and writing it whatever the umask it was made under.
    unsigned mode = 0600;
    if (groupGiven && (userFile.mode & 0020) != 0)
        mode |= 0060;
    if (shared && (userFile.mode & 0002) != 0)
        mode |= 0006;
    if (lockInfo.mode != mode)
        fileSystem.SetMode(lock, mode);
    if (shared)
        fileSystem.LetInWritersOf(name, lock, mode);
}

// Where the folder is sticky only the owner of a lock (or an administrator)
// may remove it: telling anyone else to remove it would not help.
FileError ForeignLock(FileSystem& fileSystem, const FileInfo& found, const std::string& lockName, FileError plain)
{
    auto folder = fileSystem.Examine(".");
    const bool sticky = folder.Ok() && (folder.Value().mode & 01000) != 0;
    if (!sticky || found.owner == fileSystem.ProcessOwner())
        return plain;
    const std::string owner = fileSystem.UserName(found.owner);
    return FileError(FileFault::Denied, "", lockName,
                     "belongs to " + owner + "; in this folder only " + owner + " or an administrator may remove it");
}

FileError NotRegular(FileSystem& fileSystem, const FileInfo& found, const std::string& lockName)
{
    return ForeignLock(fileSystem, found, lockName,
                       FileError(FileFault::Other, "opened", lockName, "it is not a regular file"));
}

// What stands at the lock's name, in plain words where the system's would
// puzzle: a link's "too many levels", a FIFO's "invalid parameter".
FileError OpenError(FileSystem& fileSystem, const FileError& error, const std::string& lockName)
{
    auto standing = fileSystem.Examine(lockName);
    if (!standing.Ok() || !standing.Value().exists)
        return error.Named(lockName);
    const FileInfo& found = standing.Value();
    if (found.symlink)
        return ForeignLock(fileSystem, found, lockName,
                           FileError(FileFault::Other, "opened", lockName, "it is a symbolic link"));
    if (!found.regular)
        return NotRegular(fileSystem, found, lockName);
    if (error.IsDenied() && found.owner != fileSystem.ProcessOwner())
        return ForeignLock(fileSystem, found, lockName, error.Told("opened", lockName, AnotherUsersLock));
    return error.Named(lockName);
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
        if (!opened.Ok())
            return OpenError(fileSystem, opened.Error(), lockName);
        FileLock lock(fileSystem, opened.Value(), lockName);
        auto held = fileSystem.Examine(opened.Value());
        if (!held.Ok())
            return OpenError(fileSystem, held.Error(), lockName);
        if (!held.Value().regular)
            return NotRegular(fileSystem, held.Value(), lockName);
        // Never so made here: another name may be another user's way into a
        // file of this user's that others may open, and so hold.
        if (held.Value().links > 1)
            return ForeignLock(fileSystem, held.Value(), lockName,
                               FileError(FileFault::Other, "opened", lockName, "it has other names (hard links)"));
        // Another user's lock that lets in those who may not change the
        // accounts cannot be narrowed here: they could hold it. Told before
        // any wait, which such a holder would make look like another copy's.
        if (held.Value().owner != fileSystem.ProcessOwner()) {
            auto userFile = fileSystem.Examine(name);
            if (!userFile.Ok())
                return userFile.Error();
            if (fileSystem.OpenBeyondWriters(opened.Value(), held.Value(), name, userFile.Value()))
                return ForeignLock(fileSystem, held.Value(), lockName,
                                   FileError(FileFault::Denied, "used", lockName,
                                             "it is another user's file, open to users who may not change the"
                                             " accounts, which may be removed while no copy of the program is running"));
        }
        auto locked = fileSystem.LockByte(opened.Value(), static_cast<std::uint64_t>(LockFileByte::Change),
                                          ByteLock::Exclusive, std::chrono::steady_clock::now());
        if (!locked.Ok())
            return LockError(locked.Error(), lockName);
        if (locked.Value() == LockWait::Held) {
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
                ShareLockLike(fileSystem, opened.Value(), held.Value(), userFile.Value(), name);
                return lock;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return FileError(FileFault::Busy, "locked", lockName, "another copy of the program is using it");
        std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
    }
}

FileLock::FileLock(FileSystem& fileSystem, FileHandle file, std::string name)
    : m_fileSystem(fileSystem), m_file(file), m_name(std::move(name))
{
}

FileLock::FileLock(FileLock&& other) noexcept
    : m_fileSystem(other.m_fileSystem), m_file(other.m_file), m_name(std::move(other.m_name))
{
    other.m_file = -1;
}

FileLock::~FileLock()
{
    // Closing the handle releases the lock, whatever close reports.
    if (m_file >= 0)
        m_fileSystem.Close(m_file);
}

FileStatus FileLock::StillHeld() const
{
    auto held = m_fileSystem.Examine(m_file);
    if (!held.Ok())
        return held.Error().Named(m_name);
    auto named = m_fileSystem.Examine(m_name);
    if (!named.Ok())
        return named.Error();
    if (!held.Value().SameFileAs(named.Value()))
        return FileError(FileFault::Other, "kept locked", m_name, "it was removed or replaced during the change");
    return {};
}

ReadersGuard::ReadersGuard(const std::string& name, ReadersRole role) : m_fileSystem(CurrentFileSystem())
{
    if (m_fileSystem.HowReadersMeetRenames() == ReadersAndRenames::RenamesPassReaders)
        return;
    // A reader may only be able to read the lock file; a shared byte needs no more.
    auto opened = m_fileSystem.Open(LockNameFor(name), role == ReadersRole::Reading ? OpenMode::Read : OpenMode::Existing);
    // No lock file yet, or one that will not open: nothing to take turns on.
    if (!opened.Ok())
        return;
    m_file = opened.Value();
    // Out of memory in a failure's message: the handle goes, as the destructor would.
    try {
        TakeTurn(role);
    } catch (...) {
        LetGo();
        throw;
    }
}

void ReadersGuard::TakeTurn(ReadersRole role)
{
    const ByteLock lock = role == ReadersRole::Reading ? ByteLock::Shared : ByteLock::Exclusive;
    const auto deadline = std::chrono::steady_clock::now() + ReadersPatience;
    // A replacement that has the turnstile keeps it even where the readers'
    // byte stays taken: readers of the moment finish, and the rename, refused
    // while they have the file open, is tried again.
    if (!Takes(LockFileByte::Turnstile, lock, deadline)
        || (!Takes(LockFileByte::Readers, lock, deadline) && role == ReadersRole::Reading)) {
        LetGo();
        return;
    }
    // A reader passes the turnstile; a replacement holds it until done.
    if (role == ReadersRole::Reading)
        m_fileSystem.LockByte(m_file, static_cast<std::uint64_t>(LockFileByte::Turnstile), ByteLock::Free, deadline);
}

ReadersGuard::~ReadersGuard()
{
    LetGo();
}

// Whatever fails, the reader or replacement goes on as without the byte.
bool ReadersGuard::Takes(LockFileByte byte, ByteLock lock, std::chrono::steady_clock::time_point deadline)
{
    auto taken = m_fileSystem.LockByte(m_file, static_cast<std::uint64_t>(byte), lock, deadline);
    return taken.Ok() && taken.Value() == LockWait::Held;
}

// Closing the handle lets its bytes go.
void ReadersGuard::LetGo()
{
    if (m_file >= 0)
        m_fileSystem.Close(m_file);
    m_file = -1;
}

} // namespace files
