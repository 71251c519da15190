#pragma once
// The user file "Quillmark.txt" in the current folder: one record line
// (user name ":" password) per account. Changes hold the user file's lock: a
// rewrite replaces the whole file in one step; an append adds its line in
// place so that no moment shows a reader a part of it as a record.
#include "store/StoreResult.h"

#include <chrono>
#include <string>

namespace store {

inline const std::string UserFileName = "Quillmark.txt";
inline const std::string TemporaryFileName = "Quillmark_new.txt";
// Where a change writes its copy when a leftover at TemporaryFileName cannot
// be removed (read-only under Wine, another user's in a sticky folder). Only
// ever renamed over a user file that stands, so never a copy to recover.
inline const std::string SpareCopyName = "Quillmark_spare.txt";
// How long a change waits for another copy of the program to finish its own.
inline constexpr std::chrono::seconds LockPatience{3};

// One vocabulary: Missing always means that there is no user file, Failed that
// the operation could not be done, with a message that says why.
enum class ScanOutcome { Missing, Found, NotFound, Failed };
// NotChecked: the duplicate check could not be made (ScanUserFile's Failed).
enum class AppendOutcome { Written, AlreadyPresent, NotChecked, Failed };
enum class RewriteOutcome { Missing, Done, Unchanged, Failed };

enum class Duplicates { Allow, Refuse };

// Found when a whole line equals the key, byte for byte in the file's encoding.
StoreResult<ScanOutcome> ScanUserFile(const std::u16string& key);

// Adds the key as a line of its own at the end of the file, creating the file
// if missing; a failed append is cut back off. With Duplicates::Refuse the
// check for an equal line, made under the lock, answers first: AlreadyPresent
// or NotChecked come before any failure to change the file.
StoreResult<AppendOutcome> AppendRecord(const std::u16string& key, Duplicates duplicates = Duplicates::Refuse);

// Replaces every line equal to `key` with `replacement`. Unchanged: no line
// equals the key, and nothing was written.
// On Failed the user file is as it was, unless UserFileChanged().
StoreResult<RewriteOutcome> RewriteUserFile(const std::u16string& key, const std::u16string& replacement);

} // namespace store
