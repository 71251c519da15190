#include "platform/files/posix/SystemCalls.h"

#include <cstring>

namespace files {

FileError SystemError(int code, std::string action, std::string name, std::string reason)
{
    FileFault fault = FileFault::Other;
    if (code == ENOENT)
        fault = FileFault::Missing;
    else if (code == EEXIST)
        fault = FileFault::Exists;
    else if (code == ENOLCK || code == EOPNOTSUPP || code == ENOSYS)
        fault = FileFault::Unsupported;
    else if (code == EACCES || code == EPERM)
        fault = FileFault::Denied;
    return FileError(fault, std::move(action), std::move(name), reason.empty() ? std::strerror(code) : std::move(reason));
}

} // namespace files
