#include "platform/files/TextEncoding.h"

namespace files {
namespace {

constexpr char16_t Replacement = 0xFFFD;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length and value of the UTF-8 sequence at `at`, or 0 when it is invalid.
std::size_t DecodeSequence(std::string_view bytes, std::size_t at, char32_t& value)
{
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
    unsigned char lead = byte(0);
    std::size_t length;
    char32_t minimum;
    if (lead < 0x80) {
        value = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, value = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, value = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, value = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if (!IsContinuation(byte(i)))
            return 0;
        value = (value << 6) | (byte(i) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF)
        return 0;
    return length;
}

void AppendUtf8(std::string& out, char32_t value)
{
    auto put = [&](unsigned bits) { out.push_back(static_cast<char>(bits)); };
    if (value < 0x80) {
        put(value);
    } else if (value < 0x800) {
        put(0xC0 | (value >> 6));
        put(0x80 | (value & 0x3F));
    } else if (value < 0x10000) {
        put(0xE0 | (value >> 12));
        put(0x80 | ((value >> 6) & 0x3F));
        put(0x80 | (value & 0x3F));
    } else {
        put(0xF0 | (value >> 18));
        put(0x80 | ((value >> 12) & 0x3F));
        put(0x80 | ((value >> 6) & 0x3F));
        put(0x80 | (value & 0x3F));
    }
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

} // namespace

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
    std::u16string text;
    if (encoding != TextEncoding::Utf8WithMark) {
        text.reserve(bytes.size() / 2);
        for (std::size_t at = 0; at + 1 < bytes.size(); at += 2)
            text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[at])
                                                 | static_cast<unsigned char>(bytes[at + 1]) << 8));
        return text;
    }
    text.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        char32_t value = 0;
        std::size_t length = DecodeSequence(bytes, at, value);
        if (length == 0) {
            text.push_back(Replacement);
            ++at;
        } else if (value >= 0x10000) {
            value -= 0x10000;
            text.push_back(static_cast<char16_t>(0xD800 + (value >> 10)));
            text.push_back(static_cast<char16_t>(0xDC00 + (value & 0x3FF)));
            at += length;
        } else {
            text.push_back(static_cast<char16_t>(value));
            at += length;
        }
    }
    return text;
}

std::string EncodeText(std::u16string_view text, TextEncoding encoding)
{
    std::string bytes;
    if (encoding != TextEncoding::Utf8WithMark) {
        bytes.reserve(text.size() * 2);
        for (char16_t unit : text) {
            bytes.push_back(static_cast<char>(unit & 0xFF));
            bytes.push_back(static_cast<char>(unit >> 8));
        }
        return bytes;
    }
    bytes.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t unit = text[i];
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            AppendUtf8(bytes, 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else {
            AppendUtf8(bytes, unit);  // a lone surrogate keeps its three-byte form
        }
    }
    return bytes;
}

} // namespace files

