#pragma once

#include <string>
#include <string_view>

// Conversions for texts that the program itself makes (messages, resources);
// an ill-formed sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
