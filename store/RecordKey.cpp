#include "store/RecordKey.h"

namespace store {
namespace {

// A surrogate without its partner has no bytes in UTF-8 that read back as it.
bool HasUnpairedSurrogate(std::u16string_view text)
{
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char16_t unit = text[at];
        if (unit >= 0xD800 && unit <= 0xDBFF && at + 1 < text.size() && text[at + 1] >= 0xDC00 && text[at + 1] <= 0xDFFF)
            ++at;
        else if (unit >= 0xD800 && unit <= 0xDFFF)
            return true;
    }
    return false;
}

} // namespace

std::u16string RecordKey(const std::u16string& user, const std::u16string& password)
{
    return user + u":" + password;
}

std::optional<std::u16string> RefusalOf(const std::u16string& recordLine)
{
    if (recordLine.find_first_of(std::u16string_view(u"\r\n\0", 3)) != std::u16string::npos)
        return u"A user name or password cannot contain a line break or a NUL character.";
    if (HasUnpairedSurrogate(recordLine))
        return u"A user name or password cannot contain an unpaired surrogate character.";
    if (recordLine.empty())
        return u"A record cannot be empty.";
    return std::nullopt;
}

} // namespace store
