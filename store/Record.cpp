#include "store/Record.h"

#include "platform/text/Unicode.h"

namespace store {

std::optional<std::u16string> RefusalOf(const std::u16string& line)
{
    if (line.find_first_of(std::u16string_view(u"\r\n\0", 3)) != std::u16string::npos)
        return u"A user name or password cannot contain a line break or a NUL character.";
    if (!unicode::IsWellFormed(line))
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
    const std::u16string_view first = std::u16string_view(m_text).substr(0, unicode::FirstCharacterLength(m_text));
    return files::EncodeText(first, encoding).size();
}

} // namespace store
