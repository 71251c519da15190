#pragma once
// A folder left with "Quillmark_new.txt" but no "Quillmark.txt" (a crash of an
// older version between its remove and rename) holds the only copy of the
// accounts there: it becomes the user file again before anything else happens.
#include "platform/files/FileError.h"

namespace store {

// Needs no lock: the rename never replaces a user file that appeared meanwhile.
files::FileStatus RecoverUserFile();

} // namespace store
