#pragma once
// A folder left with "Quillmark_new.txt" but no "Quillmark.txt" (a crash of an
// older version between its remove and rename) holds the only copy of the
// accounts there: it becomes the user file again before anything else happens.
#include "store/StoreResult.h"

namespace store {

// Done also where there was nothing to recover. Unsaved: the copy is the user
// file again, but the folder entry that says so may not be on disk yet.
// Failed and Unsaved come with their message; no account changed in either.
enum class RecoveryOutcome { Done, Unsaved, Failed };

// Needs no lock: the rename never replaces a user file that appeared meanwhile.
StoreResult<RecoveryOutcome> RecoverUserFile();

} // namespace store
