#pragma once
// An exclusive lock that guards one file name for every copy of the program
// that reaches the file, Linux or Windows: other processes, sessions and
// machines on a share. Both take the first byte of one lock file beside it.
#include "platform/files/FileError.h"
#include "platform/files/FileSystem.h"

#include <chrono>
#include <string>

namespace files {

enum class LockCreation { CreateIfMissing, RequireExisting };

// `Quillmark.txt` is guarded by `Quillmark.lock`: never renamed, never removed.
std::string LockNameFor(const std::string& name);

class FileLock {
public:
    // Waits up to `patience`; an error that IsBusy() when another holder kept
    // it. Creates the lock file if missing, never `name`; with RequireExisting,
    // `name` missing once the lock is held gives an error that IsMissing().
    static FileResult<FileLock> Acquire(const std::string& name, std::chrono::milliseconds patience,
                                        LockCreation creation = LockCreation::CreateIfMissing);
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&&) = delete;
    ~FileLock();  // releases
    // Fails while the lock file at the name is no longer the one held: one
    // removed by hand lets another copy lock a new one and change at once.
    FileStatus StillHeld() const;

private:
    FileLock(FileSystem& fileSystem, FileHandle file, std::string name);

    FileSystem& m_fileSystem;
    FileHandle m_file;
    std::string m_name;
};

} // namespace files
