#include "platform/files/SystemLineEnd.h"

namespace files {

std::u16string_view SystemLineEnd()
{
    return u"\n";
}

} // namespace files
