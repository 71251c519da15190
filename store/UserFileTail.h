#pragma once
// What an append must know of the user file beyond its encoding: how its
// content ends, the line end its lines use, and whether its last line is an
// append that never finished. Read in bounded memory, whatever the lines' length.
#include "platform/files/TextReader.h"

#include <cstdint>
#include <string>

namespace store {

struct UserFileTail {
    std::uint64_t contentEnd = 0;     // before an odd last byte of a UTF-16 file
    std::uint64_t lastLineStart = 0;  // where the last line, with or without its end, starts
    std::string lastUnit;             // the content's last code unit; empty when there is no content
    bool oddByte = false;             // a UTF-16 file with a byte that belongs to no line
    bool unfinished = false;          // the last line starts with NUL: the mark of an unfinished append
    std::string convention;           // the first line's end; empty when no line has one
};

// An append writes a record's first character last, over a NUL placeholder:
// until then no key can match the line, whole or torn.
files::FileResult<UserFileTail> ReadTail(files::TextReader& reader);

} // namespace store
