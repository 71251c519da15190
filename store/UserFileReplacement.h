#pragma once
// The one way the user file changes: under the folder lock, copy it line by
// line into "Quillmark_new.txt" (lines kept byte for byte, some replaced, one
// perhaps added), save that to disk and rename it over the user file.
#include "store/StoreResult.h"
#include "store/UserFile.h"

#include <optional>
#include <string>

namespace store {

enum class ReplaceOutcome { Missing, NotOpened, AlreadyPresent, Done, Failed };

struct Replacement {
    const LineDecision* decide = nullptr;   // null keeps every line
    std::optional<std::u16string> appended;  // a record line added at the end
    bool refuseDuplicate = false;            // AlreadyPresent when a line equals `appended`
};

// A missing user file gives Missing, unless something is appended: then it is created.
StoreResult<ReplaceOutcome> ReplaceUserFile(const Replacement& replacement);

} // namespace store
