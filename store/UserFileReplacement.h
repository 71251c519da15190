#pragma once
// The one way the user file changes: under the folder lock, copy it line by
// line into "Quillmark_new.txt" (lines kept byte for byte, some replaced, one
// perhaps added), save that to disk and rename it over the user file.
#include "platform/FileLock.h"
#include "store/StoreResult.h"
#include "store/UserFile.h"

#include <optional>
#include <string>

namespace store {

enum class ReplaceOutcome { Missing, NotOpened, AlreadyPresent, Done, Failed };

struct Replacement {
    const LineDecision* decide = nullptr;    // null keeps every line
    const std::u16string* only = nullptr;    // if set, `decide` sees only the lines equal to it
    std::optional<std::u16string> appended;  // a record line added at the end
    bool refuseDuplicate = false;            // AlreadyPresent when a line equals `appended`
};

// Takes the folder lock and recovers a left copy first. A missing user file gives Missing.
StoreResult<ReplaceOutcome> ReplaceUserFile(const Replacement& replacement);
// The same, for a caller that holds the lock and has recovered already.
StoreResult<ReplaceOutcome> ReplaceLockedUserFile(const Replacement& replacement, platform::FolderLock& lock);

// Why the user file cannot be changed where it stands (a link, not a regular
// file, read-only); nullopt when it can.
std::optional<std::u16string> WhyUnchangeable(const platform::FileInfo& info);

} // namespace store
