#pragma once
// The texts the user reads when an operation on the user file does not
// succeed. They name files by their full path: a user who started the program
// from a menu does not know which folder is the current one.
#include "platform/files/FileError.h"

#include <string>

namespace store {

// The full path of a file of the current folder; "the folder <path>" for ".".
std::u16string PathForUser(const std::string& name);
// "<full path> could not be <action>: <the system's own words>"
std::u16string Describe(const files::FileError& error);
// "<What failed>: <why>."
std::u16string FailureSentence(const files::FileError& error);
// "<what failed>: <why>. Nothing was changed."
std::u16string NothingChanged(const files::FileError& error);
std::u16string NothingChanged(const std::u16string& why);
// Such a message after an unfinished last line, which matched no account, was
// cut off: that line is all that changed.
std::u16string OnlyUnfinishedLineRemoved(const std::u16string& nothingChanged);
// A failure after the new contents were put in place.
std::u16string ChangedButNotSaved(const files::FileError& error);
// A left copy became the user file again, but the folder could not be saved.
std::u16string PutBackButNotSaved(const files::FileError& error);
std::u16string LockedByAnotherCopy();
// The user file held is no longer the one examined, or not at the length left.
std::u16string ChangedByAnotherProgram();
// Made before they are needed: where memory has run out, no text can be made.
const std::u16string& OutOfMemory();                  // for a scan
const std::u16string& OutOfMemoryNothingChanged();    // for a change that did not happen
const std::u16string& OutOfMemoryAfterTheChange();    // for a change made but not yet saved
std::u16string UserFileMissing();
std::u16string UserFileNotRegular();

} // namespace store
