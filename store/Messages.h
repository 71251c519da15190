#pragma once
// The texts the user reads when an operation on the user file does not succeed.
#include "platform/files/FileError.h"

#include <string>

namespace store {

std::u16string Widen(const std::string& text);
// "<what failed>: <why>. Nothing was changed."
std::u16string NothingChanged(const files::FileError& error);
std::u16string NothingChanged(const std::u16string& why);
// A failure after the new contents were put in place.
std::u16string ChangedButNotSaved(const files::FileError& error);
std::u16string LockedByAnotherCopy();
std::u16string OutOfMemory();

} // namespace store
