#pragma once
// An exclusive lock that guards one file name for every copy of the program
// that reaches the file: other processes, sessions and machines on a share.
// It guards the name, not one version of the file: whoever waited while the
// file was replaced locks the new one.
#include "platform/files/FileError.h"
#include "platform/files/FileSystem.h"

#include <chrono>
#include <string>

namespace files {

enum class LockCreation { CreateIfMissing, RequireExisting };

class FileLock {
public:
    // Waits up to `patience`; an error that IsBusy() when another holder kept
    // it. May create the file (or the lock file beside it) if missing; with
    // RequireExisting, a file removed meanwhile gives an error that IsMissing().
    static FileResult<FileLock> Acquire(const std::string& name, std::chrono::milliseconds patience,
                                        LockCreation creation = LockCreation::CreateIfMissing);
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&&) = delete;
    ~FileLock();  // releases

private:
    FileLock(FileSystem& fileSystem, FileHandle file);

    FileSystem& m_fileSystem;
    FileHandle m_file;
};

// Makes renames and new names in the current folder durable.
FileStatus SyncFolder();

} // namespace files
