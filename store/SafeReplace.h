#pragma once
// The safe-replace sequence, the one way the user file is replaced: a copy
// with its changes goes to "Quillmark_new.txt", is saved to disk with the
// original's permissions, and is renamed over the user file; whatever fails
// before the rename removes the copy and leaves the user file as it was.
#include "platform/files/FileLock.h"
#include "store/LineCopy.h"
#include "store/StoreResult.h"

#include <optional>
#include <string>

namespace store {

enum class ReplaceOutcome { Done, Failed };

// For a caller that holds the user file's lock, `lock`, and has found it
// changeable; the rename waits until `lock` is checked to be still held.
// The copy keeps the file's read and write bits and its group where the
// process may set it; where it may not, only the owner's bits.
StoreResult<ReplaceOutcome> ReplaceSafely(const LineChanges& changes, const files::FileLock& lock);

// Whatever stands at either copy's name while the user file exists and its
// lock is held is a leftover: no old copy of the accounts stays on disk. Each
// that cannot be removed is left alone; `free` is the first name that is free.
struct Leftovers {
    std::optional<std::string> free;
    std::optional<files::FileError> stuck;
};
files::FileResult<Leftovers> RemoveLeftoverCopies();

// Makes a new name in the folder durable once the new contents are in place:
// whatever fails then, even memory, the result says that the change was made.
StoreResult<ReplaceOutcome> SaveFolderEntry();

} // namespace store
