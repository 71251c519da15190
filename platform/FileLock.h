#pragma once
// An exclusive lock on the current folder, shared by every copy of the program
// working there. The folder is never renamed, so the lock keeps guarding the
// files in it across the renames that replace them.
#include "platform/FileError.h"
#include "platform/FileSystem.h"

#include <chrono>

namespace platform {

class FolderLock {
public:
    // Waits up to `patience`; an error that IsBusy() when another holder kept it.
    static FileResult<FolderLock> Acquire(std::chrono::milliseconds patience);
    FolderLock(FolderLock&& other) noexcept;
    FolderLock& operator=(FolderLock&&) = delete;
    ~FolderLock();  // releases

    // Makes renames and new names in the folder durable.
    FileStatus SyncFolder();

private:
    FolderLock(FileSystem& fileSystem, FileHandle folder);

    FileSystem& m_fileSystem;
    FileHandle m_folder;
};

} // namespace platform
