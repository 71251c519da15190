#pragma once
// How every change of the user file starts: a copy that an older version left
// is recovered first, then the user file is examined and refused where it
// cannot be changed, and its lock is taken.
#include "platform/files/FileLock.h"
#include "store/StoreResult.h"

#include <optional>

namespace store {

// An append makes the user file where there is none; a rewrite has no accounts to change.
enum class WithoutUserFile { Create, Missing };

// Ready: the change may go on. Missing only with WithoutUserFile::Missing.
// Missing and Failed come with their message; no account changed in either.
enum class StartOutcome { Ready, Missing, Failed };

struct ChangeStart {
    StoreResult<StartOutcome> result;
    std::optional<files::FileLock> lock;  // held where Ready
};

ChangeStart StartChange(WithoutUserFile withoutUserFile);

// The user file as it stands, in `standing`, or why the change stops: examined
// before the lock, and again under it, for it may have changed while this copy waited.
StoreResult<StartOutcome> ExamineUserFile(WithoutUserFile withoutUserFile, files::FileInfo& standing);

} // namespace store
