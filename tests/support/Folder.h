#pragma once
// Test helpers: a fresh temporary folder as the current directory, and files
// written and read byte for byte.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace testing_support {

class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_previous;
    std::string m_path;
};

void WriteFile(const std::string& name, std::string_view bytes, unsigned mode = 0644);
std::optional<std::string> ReadFile(const std::string& name);
bool Exists(const std::string& name);  // as any kind of file, a dangling link included
unsigned ModeOf(const std::string& name);

// Runs `work` in a forked child process: true if it returned true there.
bool SucceedsInChild(const std::function<bool()>& work);
// For a forked child: its address space may grow by `headroom` bytes and no
// more, so that a file larger than that cannot be held in memory.
void LimitAddressSpace(std::size_t headroom);

// The line end of a new user file: the system's own.
extern const std::string NewFileLineEnd;

// How messages name a file of the current folder.
inline std::u16string FullPath(const std::string& name)
{
    return (std::filesystem::current_path() / name).u16string();
}

// UTF-16LE bytes of the text, and UTF-8 bytes of text made of BMP characters.
std::string Utf16(std::u16string_view text);
std::string Utf8(std::u16string_view text);

} // namespace testing_support
