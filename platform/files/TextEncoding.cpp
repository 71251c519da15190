#include "platform/files/TextEncoding.h"

#include "platform/text/Unicode.h"

namespace files {

TextEncoding DetectEncoding(std::string_view start)
{
    if (start.starts_with("\xEF\xBB\xBF"))
        return TextEncoding::Utf8WithMark;
    if (start.starts_with("\xFF\xFE"))
        return TextEncoding::Utf16LeWithMark;
    return TextEncoding::Utf16Le;
}

std::string_view MarkOf(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8WithMark: return "\xEF\xBB\xBF";
    case TextEncoding::Utf16LeWithMark: return "\xFF\xFE";
    case TextEncoding::Utf16Le: return {};
    }
    return {};
}

std::size_t CodeUnitSize(TextEncoding encoding)
{
    return encoding == TextEncoding::Utf8WithMark ? 1 : 2;
}

std::u16string DecodeText(std::string_view bytes, TextEncoding encoding)
{
    if (encoding == TextEncoding::Utf8WithMark)
        return unicode::Utf8ToUtf16(bytes, unicode::Malformed::KeepSurrogates);
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (std::size_t at = 0; at + 1 < bytes.size(); at += 2)
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[at])
                                             | static_cast<unsigned char>(bytes[at + 1]) << 8));
    return text;
}

std::string EncodeText(std::u16string_view text, TextEncoding encoding)
{
    if (encoding == TextEncoding::Utf8WithMark)
        return unicode::Utf16ToUtf8(text, unicode::Malformed::KeepSurrogates);
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

} // namespace files

