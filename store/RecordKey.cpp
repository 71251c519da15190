#include "store/RecordKey.h"

namespace store {

std::u16string RecordKey(const std::u16string& user, const std::u16string& password)
{
    return user + u":" + password;
}

std::optional<std::u16string> RefusalOf(const std::u16string& recordLine)
{
    if (recordLine.find_first_of(std::u16string_view(u"\r\n\0", 3)) != std::u16string::npos)
        return u"A user name or password cannot contain a line break or a NUL character.";
    return std::nullopt;
}

} // namespace store
