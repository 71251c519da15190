#pragma once
// For tests: a user file read one whole line at a time, the plain way that
// the block search and the line copy must agree with.
#include "platform/files/TextEncoding.h"

#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

struct RawLine {
    std::string bytes;  // as stored, without the line end
    std::string end;    // LF or CR LF as stored; empty for a last line without one
};

struct RawLines {
    files::TextEncoding encoding;  // told by the first bytes, whose mark is no line's
    std::vector<RawLine> lines;
    std::string trailing;  // an odd last byte of UTF-16, which no line holds
};

RawLines ReadRawLines(std::string_view file);

} // namespace testing_support
