#include "platform/text/Unicode.h"

#include <algorithm>

namespace unicode {
namespace {

constexpr char16_t Replacement = 0xFFFD;

bool IsLeadingSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsTrailingSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
bool IsSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length and value of the UTF-8 sequence at `at`, or 0 when it is invalid.
std::size_t DecodeSequence(std::string_view bytes, std::size_t at, char32_t& value)
{
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
    const unsigned char lead = byte(0);
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

} // namespace

std::u16string Utf8ToUtf16(std::string_view text, Malformed malformed)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        char32_t value = 0;
        const std::size_t length = DecodeSequence(text, at, value);
        if (length == 0 || (IsSurrogate(value) && malformed == Malformed::Replace)) {
            out.push_back(Replacement);
            ++at;
            continue;
        }
        if (value >= 0x10000) {
            value -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (value >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (value & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(value));
        }
        at += length;
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text, Malformed malformed)
{
    std::string out;
    out.reserve(text.size() * 3);
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char16_t unit = text[at];
        if (IsLeadingSurrogate(unit) && at + 1 < text.size() && IsTrailingSurrogate(text[at + 1])) {
            AppendUtf8(out, 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (text[at + 1] - 0xDC00));
            ++at;
        } else if (IsSurrogate(unit) && malformed == Malformed::Replace) {
            AppendUtf8(out, Replacement);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

bool IsWellFormed(std::u16string_view text)
{
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (IsLeadingSurrogate(text[at]) && at + 1 < text.size() && IsTrailingSurrogate(text[at + 1]))
            ++at;
        else if (IsSurrogate(text[at]))
            return false;
    }
    return true;
}

std::size_t FirstCharacterLength(std::u16string_view text)
{
    if (text.size() > 1 && IsLeadingSurrogate(text[0]) && IsTrailingSurrogate(text[1]))
        return 2;
    return std::min<std::size_t>(text.size(), 1);
}

} // namespace unicode
