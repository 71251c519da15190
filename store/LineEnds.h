#pragma once
// The line-end rule, in one place. Each line keeps its own end; a line the
// program adds, and a last line that had none, take the file's convention:
// the end of its first line, LF where no line has one. A last line that ends
// in a lone CR gets CR LF instead, so that its CR stays in the line. A new
// file takes the system's line end, as its own text tools would write it.
#include "platform/files/TextReader.h"

#include <string>
#include <string_view>

namespace store {

// Whether the code unit of `unit` bytes at `at` is the ASCII character `value`.
inline bool IsUnit(std::string_view bytes, std::size_t at, char value, std::size_t unit)
{
    return bytes[at] == value && (unit == 1 || bytes[at + 1] == '\0');
}

// The file's convention, read in bounded memory from the start of its content.
files::FileResult<std::string> ConventionOf(files::TextReader& reader);

// What follows a last line whose last code unit is `lastUnit` (empty: no
// content), before a line is added after it; empty where it has its end.
std::string EndForLastLine(std::string_view lastUnit, bool replaced, const std::string& convention,
                           files::TextEncoding encoding);

// The end of a line the program adds.
std::string EndForNewLine(const std::string& convention, files::TextEncoding encoding);

// The end of the first line of a new (or empty) file.
std::string EndForNewFile(files::TextEncoding encoding);

} // namespace store
