#pragma once
// Why a file operation failed, as a value: what was done to which file and the
// system's reason. It stands where the old framework raised a file exception.
// The layers above ask its predicates, never the system's code: each backend
// decides the fault from its own system's codes.
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace files {

// Missing: no such file. Exists: the name is taken. Busy: held by someone else.
// Unsupported: the file system does not offer the call (a lock, say).
enum class FileFault { Other, Missing, Exists, Busy, Unsupported, Denied };

class FileError {
public:
    // The reason in words: the system's own for its code, or the caller's.
    FileError(FileFault fault, std::string action, std::string name, std::string reason);

    const std::string& Action() const { return m_action; }
    const std::string& Name() const { return m_name; }
    const std::string& Reason() const { return m_reason; }
    bool IsMissing() const { return m_fault == FileFault::Missing; }
    bool IsTaken() const { return m_fault == FileFault::Exists; }
    bool IsBusy() const { return m_fault == FileFault::Busy; }
    bool IsUnsupported() const { return m_fault == FileFault::Unsupported; }
    bool IsDenied() const { return m_fault == FileFault::Denied; }
    FileError Named(std::string name) const;
    // The same fault, with the words of a caller that knows more.
    FileError Told(std::string action, std::string name, std::string reason) const;
    // "Quillmark.txt could not be read: Input/output error"; with no action,
    // the reason is said of the file itself: "Quillmark.lock belongs to ann".
    std::string Message() const;

private:
    FileFault m_fault;
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
