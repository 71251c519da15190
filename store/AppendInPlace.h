#pragma once
// The append in place: the new line written at the end of the file it holds,
// placeholder first, decided on that file and writing only where it just wrote.
#include "platform/files/FileLock.h"
#include "store/NewLine.h"
#include "store/UserFile.h"

#include <optional>

namespace store {

// Whatever kills the process or stops the machine, no moment leaves a line
// that a key can match other than the whole record: until its last write the
// line starts with NUL, which no key holds. `examined` is the file the check
// read, or none: then the file is created here, and only here, and `made` is
// given its identity. Nothing where the name was taken since it was examined.
std::optional<StoreResult<AppendOutcome>> WriteInPlace(const Record& key, NewLine line, const files::FileLock& lock,
                                                       const files::FileInfo& examined,
                                                       files::FileInfo* made = nullptr);

} // namespace store
