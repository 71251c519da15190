#include "store/RecordKey.h"

namespace store {

std::u16string RecordKey(const std::u16string& user, const std::u16string& password)
{
    return user + u":" + password;
}

} // namespace store
