#include "platform/files/FileError.h"

namespace files {

FileError::FileError(FileFault fault, std::string action, std::string name, std::string reason)
    : m_fault(fault), m_action(std::move(action)), m_name(std::move(name)), m_reason(std::move(reason))
{
}

FileError FileError::Named(std::string name) const
{
    return Told(m_action, std::move(name), m_reason);
}

FileError FileError::Told(std::string action, std::string name, std::string reason) const
{
    return FileError(m_fault, std::move(action), std::move(name), std::move(reason));
}

std::string FileError::Message() const
{
    if (m_action.empty())
        return m_name + " " + m_reason;
    return m_name + " could not be " + m_action + ": " + m_reason;
}

} // namespace files
