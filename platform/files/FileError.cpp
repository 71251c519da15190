#include "platform/files/FileError.h"

#include <cerrno>
#include <cstring>

namespace files {

FileError::FileError(int code, std::string action, std::string name, std::string reason)
    : m_code(code), m_action(std::move(action)), m_name(std::move(name)),
      m_reason(reason.empty() ? std::strerror(code) : std::move(reason))
{
}

bool FileError::IsMissing() const { return m_code == ENOENT; }

bool FileError::IsBusy() const { return m_code == EWOULDBLOCK; }

FileError FileError::Named(std::string name) const
{
    return FileError(m_code, m_action, std::move(name), m_reason);
}

std::string FileError::Message() const
{
    return m_name + " could not be " + m_action + ": " + m_reason;
}

} // namespace files
