#pragma once
// The safe-replace sequence, the one way the user file is replaced: a copy
// with its changes goes to "Quillmark_new.txt", is saved to disk with the
// original's permissions, and is renamed over the user file; whatever fails
// before the rename removes the copy and leaves the user file as it was.
#include "platform/files/FileLock.h"
#include "store/LineCopy.h"
#include "store/StoreResult.h"

namespace store {

enum class ReplaceOutcome { Done, Failed };

// For a caller that holds the user file's lock, `lock`, and has found it
// changeable; the rename waits until `lock` is checked to be still held.
// The copy keeps the file's read and write bits and its group where the
// process may set it; where it may not, only the owner's bits.
StoreResult<ReplaceOutcome> ReplaceSafely(const LineChanges& changes, const files::FileLock& lock);

// Makes a new name in the folder durable once the new contents are in place:
// whatever fails then, even memory, the result says that the change was made.
StoreResult<ReplaceOutcome> SaveFolderEntry();

} // namespace store
