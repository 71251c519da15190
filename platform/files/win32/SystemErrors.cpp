#include "platform/files/win32/SystemErrors.h"

#include "platform/files/win32/WideText.h"

namespace files {
namespace {

// The system's own wording, without its final period and line end.
std::string ReasonOf(DWORD error)
{
    if (error == ERROR_SHARING_VIOLATION)
        return "another program is using it";
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = length ? Utf8Of(text, static_cast<int>(length)) : std::string();
    LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' '
                               || reason.back() == '.'))
        reason.pop_back();
    if (reason.empty())
        reason = "system error " + std::to_string(error);
    return reason;
}

} // namespace

FileFault FaultOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return FileFault::Missing;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return FileFault::Exists;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
        return FileFault::Unsupported;
    case ERROR_ACCESS_DENIED:
        return FileFault::Denied;
    default:
        return FileFault::Other;
    }
}

FileError ErrorOf(DWORD error, std::string action, std::string name)
{
    return FileError(FaultOf(error), std::move(action), std::move(name), ReasonOf(error));
}

FileError LastError(std::string action, std::string name)
{
    return ErrorOf(GetLastError(), std::move(action), std::move(name));
}

FileError TookNothing()
{
    return FileError(FileFault::Other, "written", {}, "the system took none of the bytes");
}

FileError LinkRefused(std::string action, std::string name)
{
    return FileError(FileFault::Other, std::move(action), std::move(name), "it is a symbolic link");
}

} // namespace files
