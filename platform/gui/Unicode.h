#pragma once
// Conversions for texts that the program itself makes (messages, resources):
// anything ill-formed becomes U+FFFD.
#include "platform/text/Unicode.h"

inline std::u16string Utf8ToUtf16(std::string_view text)
{
    return unicode::Utf8ToUtf16(text, unicode::Malformed::Replace);
}

inline std::string Utf16ToUtf8(std::u16string_view text)
{
    return unicode::Utf16ToUtf8(text, unicode::Malformed::Replace);
}
