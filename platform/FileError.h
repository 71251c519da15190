#pragma once
// Why a file operation failed, as a value: the operation, the file and the
// system's reason. Stands where the old framework raised a file exception.
#include <string>

namespace platform {

class FileError {
public:
    FileError(int code, std::string action, std::string name);

    int Code() const { return m_code; }
    const std::string& Name() const { return m_name; }
    // "Quillmark.txt could not be read: Input/output error"
    std::string Message() const;

private:
    int m_code;
    std::string m_action;
    std::string m_name;
};

} // namespace platform
