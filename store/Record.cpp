#include "store/Record.h"

namespace store {
namespace {

bool IsLeading(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsTrailing(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

bool HasUnpairedSurrogate(std::u16string_view text)
{
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (IsLeading(text[at]) && at + 1 < text.size() && IsTrailing(text[at + 1]))
            ++at;
        else if (IsLeading(text[at]) || IsTrailing(text[at]))
            return true;
    }
    return false;
}

} // namespace

std::optional<std::u16string> RefusalOf(const std::u16string& line)
{
    if (line.find_first_of(std::u16string_view(u"\r\n\0", 3)) != std::u16string::npos)
        return u"A user name or password cannot contain a line break or a NUL character.";
    if (HasUnpairedSurrogate(line))
        return u"A user name or password cannot contain an unpaired surrogate character.";
    if (line.empty())
        return u"A record cannot be empty.";
    return std::nullopt;
}

std::optional<Record> Record::Admit(const std::u16string& text, std::u16string& why)
{
    if (auto refusal = RefusalOf(text)) {
        why = *refusal;
        return std::nullopt;
    }
    return Record(text);
}

const std::string& Record::Bytes(files::TextEncoding encoding) const
{
    std::optional<std::string>& bytes = m_bytes[static_cast<std::size_t>(encoding)];
    if (!bytes)
        bytes = files::EncodeText(m_text, encoding);
    return *bytes;
}

std::size_t Record::FirstCharacterSize(files::TextEncoding encoding) const
{
    const bool pair = m_text.size() > 1 && IsLeading(m_text[0]);
    return files::EncodeText(std::u16string_view(m_text).substr(0, pair ? 2 : 1), encoding).size();
}

} // namespace store
