#pragma once
// The one line copy: the rest of a user file's content goes, block by block and
// in bounded memory whatever the length of a line, into another file. Lines
// equal to a key are replaced; all others keep their bytes.
#include "platform/files/TextFile.h"
#include "platform/files/TextReader.h"
#include "store/Record.h"

#include <cstdint>
#include <string>

namespace store {

struct LineChanges {
    const Record* key = nullptr;          // if set, lines equal to it become `replacement`
    const Record* replacement = nullptr;
    const Record* appended = nullptr;     // if set, a record line added at the end
    // Where a search found the first line equal to `key`: the bytes before it
    // are copied unread.
    std::uint64_t firstKeyAt = 0;
};

// Copies in the encoding of `to`, which reads the same code units as `from`,
// its mark first; unchanged spans by the kernel where it can (FileSystem::CopyRange),
// or from the bytes read where the kernel would only read them again (BestSpanCopy).
// A last line without an end gets one (store/LineEnds.h); an odd last byte of
// a UTF-16 file stays last, after `appended`.
files::FileStatus CopyLines(files::TextReader& from, files::TextFile& to, const LineChanges& changes,
                            const std::string& convention);

} // namespace store
