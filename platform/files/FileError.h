#pragma once
// Why a file operation failed, as a value: what was done to which file and the
// system's reason. It stands where the old framework raised a file exception.
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace files {

class FileError {
public:
    // The reason defaults to the system's text for the error code.
    FileError(int code, std::string action, std::string name = {}, std::string reason = {});

    int Code() const { return m_code; }
    const std::string& Action() const { return m_action; }
    const std::string& Name() const { return m_name; }
    const std::string& Reason() const { return m_reason; }
    bool IsMissing() const;  // no such file
    bool IsBusy() const;     // held by someone else
    FileError Named(std::string name) const;
    // "Quillmark.txt could not be read: Input/output error"
    std::string Message() const;

private:
    int m_code;
    std::string m_action;
    std::string m_name;
    std::string m_reason;
};

template <class T>
class FileResult {
public:
    FileResult(T value) : m_value(std::move(value)) {}
    FileResult(FileError error) : m_value(std::move(error)) {}

    bool Ok() const { return m_value.index() == 0; }
    T& Value() { return std::get<0>(m_value); }
    const T& Value() const { return std::get<0>(m_value); }
    const FileError& Error() const { return std::get<1>(m_value); }

private:
    std::variant<T, FileError> m_value;
};

class FileStatus {
public:
    FileStatus() = default;  // success
    FileStatus(FileError error) : m_error(std::move(error)) {}

    bool Ok() const { return !m_error; }
    const FileError& Error() const { return *m_error; }

private:
    std::optional<FileError> m_error;
};

} // namespace files
