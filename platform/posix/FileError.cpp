#include "platform/FileError.h"

#include <cstring>

namespace platform {

FileError::FileError(int code, std::string action, std::string name)
    : m_code(code), m_action(std::move(action)), m_name(std::move(name)) {}

std::string FileError::Message() const
{
    return m_name + " could not be " + m_action + ": " + std::strerror(m_code);
}

} // namespace platform
