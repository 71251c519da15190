#pragma once
// The seam under every file access: one interface, implemented over the system's
// own calls by the backend built in (POSIX or Win32), so tests can install one
// that fails on purpose.
#include "platform/files/FileError.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace files {

using FileHandle = int;

enum class FileCall { Any, Open, Read, Write, Seek, Sync, Close, Rename, Remove, Examine, SetMode, SetOwner, Lock, Truncate };

enum class OpenMode {
    Read,             // follows links; refuses to block on a FIFO
    CreateOrKeep,     // write; create if missing, keep contents; never follows a link
    CreateNew,        // read and write; fails if the name exists in any form
    Existing,         // read and write; fails if missing; keeps contents; never follows a link
    Folder,           // a directory, for syncing
    Lock,             // read-write; create if missing, keep contents; never follows a link
};

enum class RenameMode { Replace, KeepExisting };

struct FileInfo {
    bool exists = false;
    bool regular = false;
    bool symlink = false;
    bool writable = false;  // has a write bit and the process may write it
    unsigned mode = 0;      // permission bits
    std::uint64_t size = 0;
    unsigned links = 1;     // names of the file in all folders
    unsigned owner = 0;     // user and group ids, where the system has them
    unsigned group = 0;
    std::uint64_t volume = 0;  // with `index`, tells one file from another
    std::uint64_t index = 0;

    bool SameFileAs(const FileInfo& other) const { return exists && other.exists && volume == other.volume && index == other.index; }
};

// How a copy best writes bytes that it has just read from a file: by
// CopyRange, where the file system may share blocks between files or copy on
// its server, or from memory, where CopyRange would only read them again.
enum class SpanCopy { ByCopyRange, FromMemory };

// How one byte of a file is locked: shared with other shared holders, alone,
// or let go.
enum class ByteLock { Shared, Exclusive, Free };
// Held: as asked (or let go); HeldElsewhere: another holder kept it past the deadline.
enum class LockWait { Held, HeldElsewhere };

// Whether a file that readers hold open may be renamed over (POSIX), or the
// readers keep a replacement out (Windows), so that the two must take turns.
enum class ReadersAndRenames { RenamesPassReaders, ReadersKeepRenamesOut };

// How WriteAtEnd finds the end: in the write itself, or by a look just before
// it (Wine), so that bytes another program appends between the two are written over.
enum class EndWrite { OneStep, LookedUpFirst };

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // New files get mode 0600. Errors name the file where the call has a name.
    virtual FileResult<FileHandle> Open(const std::string& name, OpenMode mode) = 0;
    virtual FileResult<std::size_t> Read(FileHandle file, char* buffer, std::size_t size) = 0;  // 0 at end
    // From `offset`, without moving the file's position; 0 at end.
    virtual FileResult<std::size_t> ReadAt(FileHandle file, std::uint64_t offset, char* buffer, std::size_t size) = 0;
    virtual FileStatus Write(FileHandle file, const char* data, std::size_t size) = 0;  // all or error
    // At `offset`, without moving the file's position; all or error.
    virtual FileStatus WriteAt(FileHandle file, std::uint64_t offset, const char* data, std::size_t size) = 0;
    // `size` bytes from `offset` of `from`, written at the position of `to`;
    // all or error. By the kernel where the file system lets it.
    virtual FileStatus CopyRange(FileHandle from, std::uint64_t offset, FileHandle to, std::uint64_t size) = 0;
    virtual SpanCopy BestSpanCopy(FileHandle to) = 0;
    virtual FileStatus SeekToEnd(FileHandle file) = 0;
    // After whatever the file holds when the write happens, in one step, so that
    // another writer's cut leaves no gap before it; all or error. Where it landed.
    virtual FileResult<std::uint64_t> WriteAtEnd(FileHandle file, const char* data, std::size_t size) = 0;
    virtual EndWrite HowEndIsWritten() const = 0;
    // Cuts the file back to `size` bytes: how a failed append is undone.
    virtual FileStatus Truncate(FileHandle file, std::uint64_t size) = 0;
    virtual FileStatus Sync(FileHandle file) = 0;
    virtual FileStatus Close(FileHandle file) = 0;  // the handle is released even on error
    // In one step. KeepExisting fails with an error that IsTaken() where `to` exists.
    virtual FileStatus Rename(const std::string& from, const std::string& to, RenameMode mode) = 0;
    virtual FileStatus Remove(const std::string& name) = 0;
    virtual FileResult<FileInfo> Examine(const std::string& name) = 0;  // does not follow a link
    virtual FileResult<FileInfo> Examine(FileHandle file) = 0;
    virtual FileStatus SetMode(FileHandle file, unsigned mode) = 0;
    virtual FileStatus SetOwner(FileHandle file, unsigned owner, unsigned group) = 0;  // where the system has owners
    // Gives `copy` the extended access list of `original` (not followed if a
    // link), or none where it has none; true when there was one to give.
    virtual FileResult<bool> TakeAccessList(const std::string& original, FileHandle copy) = 0;
    // Gives `lock` an access list of read and write for exactly the named
    // users and groups of `original`'s list that may write it, the owner,
    // group and other classes as `classMode` has them (the group only where
    // `original`'s own group entry may write too), and `original`'s owner by
    // name where it does not own the lock; none where neither asks for one.
    // True when it gave one.
    virtual FileResult<bool> LetInWritersOf(const std::string& original, FileHandle lock, unsigned classMode) = 0;
    virtual unsigned ProcessOwner() const = 0;  // as FileInfo::owner names it
    // The user's login name, or "user <number>" where the system knows none.
    virtual std::string UserName(unsigned user) const = 0;
    // Whether the permissions of `lock` (its bits, or its access list) let in
    // a user or group that may not write `userFile`; false where they do not
    // say (Windows).
    virtual bool OpenBeyondWriters(FileHandle lock, const FileInfo& lockInfo, const std::string& userFile,
                                   const FileInfo& userFileInfo) const = 0;
    virtual bool IsMember(unsigned user, unsigned group) const = 0;  // true where the system has no groups
    // A lock of one byte at `offset`, between processes, sessions and machines
    // that share the file, whichever build holds it; tried until `deadline`
    // (once where it has passed). An error that IsUnsupported() where the file
    // system has no locks. Released when the handle is closed.
    virtual FileResult<LockWait> LockByte(FileHandle file, std::uint64_t offset, ByteLock lock,
                                          std::chrono::steady_clock::time_point deadline) = 0;
    virtual ReadersAndRenames HowReadersMeetRenames() const = 0;
};

// CopyRange through a buffer of ours: where the kernel cannot copy.
FileStatus CopyThroughMemory(FileSystem& fileSystem, FileHandle from, std::uint64_t offset, FileHandle to,
                             std::uint64_t size);

FileSystem& SystemFileSystem();
FileSystem& CurrentFileSystem();

// Installs another file system for its lifetime (tests), restoring the previous one.
class FileSystemScope {
public:
    explicit FileSystemScope(FileSystem& fileSystem);
    ~FileSystemScope();
    FileSystemScope(const FileSystemScope&) = delete;
    FileSystemScope& operator=(const FileSystemScope&) = delete;

private:
    FileSystem* m_previous;
};

} // namespace files
