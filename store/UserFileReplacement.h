#pragma once
// The one way the user file is replaced: copy it into "Quillmark_new.txt"
// (lines kept byte for byte, those equal to a key replaced, a record perhaps
// added at the end), save that to disk and rename it over the user file.
#include "platform/files/FileSystem.h"
#include "store/StoreResult.h"

#include <optional>
#include <string>

namespace store {

enum class ReplaceOutcome { Done, NotOpened, Failed };

struct Replacement {
    const std::u16string* key = nullptr;          // if set, lines equal to it become `replacement`
    const std::u16string* replacement = nullptr;
    const std::u16string* appended = nullptr;     // if set, a record line added at the end
};

// For a caller that holds the user file's lock and has found it changeable.
// The copy keeps the file's read and write bits and its group where the
// process may set it; where it may not, only the owner's bits.
StoreResult<ReplaceOutcome> ReplaceLockedUserFile(const Replacement& replacement);

// Why the user file cannot be changed where it stands (a link, more than one
// name, not a regular file, read-only); nullopt when it can.
std::optional<std::u16string> WhyUnchangeable(const files::FileInfo& info);

} // namespace store
