#pragma once
// Whether a user file holds a line equal to a record key: bytes compared with
// the key encoded once where that gives the same answer as decoding every line.
#include "platform/TextReader.h"

#include <string>

namespace store {

// Reads the rest of the file; stops at the first equal line.
platform::FileResult<bool> FindRecord(platform::TextReader& reader, const std::u16string& key);

// The same, decoding every line: what the fast path must always agree with.
platform::FileResult<bool> FindRecordLineByLine(platform::TextReader& reader, const std::u16string& key);

} // namespace store
