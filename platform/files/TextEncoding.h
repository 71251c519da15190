#pragma once
// The three encodings a user file can have, told apart by its first bytes as
// the old runtime's Unicode text mode did, and the conversions of one line.
#include <string>
#include <string_view>

namespace files {

enum class TextEncoding {
    Utf8WithMark,     // starts with EF BB BF
    Utf16LeWithMark,  // starts with FF FE
    Utf16Le,          // anything else, an empty file included
};

TextEncoding DetectEncoding(std::string_view start);
std::string_view MarkOf(TextEncoding encoding);
std::size_t CodeUnitSize(TextEncoding encoding);

// Invalid UTF-8 decodes to U+FFFD per byte; surrogates in three-byte form
// decode as themselves, so that every string encoded here reads back exactly.
std::u16string DecodeText(std::string_view bytes, TextEncoding encoding);
std::string EncodeText(std::u16string_view text, TextEncoding encoding);

} // namespace files
