#pragma once
// The user file "Quillmark.txt" in the current folder: one record line
// (user name ":" password) per account. Changes hold the folder lock: a rewrite
// replaces the whole file in one step, an append adds its line with one write
// and cuts it back off if anything fails, so the accounts are never lost.
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

// Adds the key as a line of its own at the end of the file, in place, creating
// the file if missing; a failed append is cut back off. With Duplicates::Refuse
// an equal line found under the lock gives AlreadyPresent.
// NotOpened: the user file could not be opened or created.
StoreResult<AppendOutcome> AppendRecord(const std::u16string& key, Duplicates duplicates = Duplicates::Refuse);

// Offers every line to `decide`, in order. NotOpened: there is no user file.
// On Failed the user file is as it was, unless UserFileChanged().
StoreResult<RewriteOutcome> RewriteUserFile(const LineDecision& decide);
// The same, but offers `decide` only the lines equal to `key`: the others are
// copied without being decoded, which is much faster on a large file.
StoreResult<RewriteOutcome> RewriteUserFile(const std::u16string& key, const LineDecision& decide);

} // namespace store
