#pragma once
// Whether a user file holds a line equal to a record key: the key is encoded
// once in the file's encoding and compared with the bytes of each line.
#include "platform/files/TextReader.h"
#include "store/Record.h"

#include <cstdint>
#include <optional>
#include <string>

namespace store {

// Reads the rest of the file in blocks, in bounded memory whatever the length
// of its lines; stops at the first equal line.
files::FileResult<bool> FindRecord(files::TextReader& reader, const Record& key);
// The same, telling where in the file the first equal line begins.
files::FileResult<std::optional<std::uint64_t>> FindFirstRecord(files::TextReader& reader, const Record& key);

// What a search that could not read the file says, wherever it runs.
std::u16string SearchFailure(const files::FileError& error);

} // namespace store
