#pragma once
// The one UTF-8/UTF-16 codec under both halves of platform/. The strict check
// refuses ill-formed text; the conversions say what becomes of it instead.
#include <string>
#include <string_view>

namespace unicode {

enum class Malformed {
    // Each invalid byte, encoded surrogate and lone surrogate becomes U+FFFD.
    Replace,
    // Invalid bytes become U+FFFD each; surrogates keep their three-byte form
    // both ways, so that every UTF-16 string encoded reads back exactly.
    KeepSurrogates,
};

std::u16string Utf8ToUtf16(std::string_view text, Malformed malformed);
std::string Utf16ToUtf8(std::u16string_view text, Malformed malformed);

// Strict: false for a text with an unpaired surrogate, which has no UTF-8 of
// its own.
bool IsWellFormed(std::u16string_view text);

// The code units of the text's first character: two for a surrogate pair.
std::size_t FirstCharacterLength(std::u16string_view text);

} // namespace unicode
