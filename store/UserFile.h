#pragma once
// The user file "Quillmark.txt" in the current folder: one record line
// (user name ":" password) per account. Every change replaces the whole file
// in one step under the folder lock, so a reader sees the old file or the new.
#include "store/StoreResult.h"

#include <functional>
#include <optional>
#include <string>

namespace store {

inline const std::string UserFileName = "Quillmark.txt";
inline const std::string TemporaryFileName = "Quillmark_new.txt";

enum class ScanOutcome { NotOpened, Found, NotFound, Failed };
enum class AppendOutcome { Written, NotOpened, AlreadyPresent, Failed };
enum class RewriteOutcome { NotOpened, Done, Failed };

enum class Duplicates { Allow, Refuse };

// Given a decoded line: its replacement, or nullopt to keep the line as it is.
using LineDecision = std::function<std::optional<std::u16string>(const std::u16string& line)>;

// Found when a whole line equals the key. NotOpened: there is no user file.
StoreResult<ScanOutcome> ScanUserFile(const std::u16string& key);

// Adds the key as a line of its own, creating the file if missing. With
// Duplicates::Refuse an equal line found under the lock gives AlreadyPresent.
// NotOpened: the user file (or its temporary copy) could not be opened or created.
StoreResult<AppendOutcome> AppendRecord(const std::u16string& key, Duplicates duplicates = Duplicates::Refuse);

// Offers every line to `decide`, in order. NotOpened: there is no user file.
// On Failed the user file is as it was, unless UserFileChanged().
StoreResult<RewriteOutcome> RewriteUserFile(const LineDecision& decide);

} // namespace store
