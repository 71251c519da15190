// The test folder helpers of tests/store/Folder.h on Windows, where a file's
// only permission is read-only: a mode without write bits stands for it.
#include "Folder.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

namespace testing_support {

const std::string NewFileLineEnd = "\r\n";

namespace {

std::wstring Wide(const std::string& text)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length);
    return out;
}

} // namespace

TemporaryFolder::TemporaryFolder() : m_previous(std::filesystem::current_path().string())
{
    std::random_device random;
    for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
        const auto candidate = std::filesystem::temp_directory_path() / ("quillmark-store-" + std::to_string(random()));
        if (CreateDirectoryW(candidate.wstring().c_str(), nullptr))
            m_path = candidate.string();
    }
    if (m_path.empty())
        throw std::runtime_error("no temporary folder could be made");
    std::filesystem::current_path(m_path);
}

TemporaryFolder::~TemporaryFolder()
{
    std::filesystem::current_path(m_previous);
    std::error_code ignored;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_path, ignored))
        SetFileAttributesW(entry.path().wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove_all(m_path, ignored);
}

void WriteFile(const std::string& name, std::string_view bytes, unsigned mode)
{
    SetFileAttributesW(Wide(name).c_str(), FILE_ATTRIBUTE_NORMAL);
    {
        std::ofstream out(std::filesystem::path(Wide(name)), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            throw std::runtime_error("cannot write " + name);
    }
    if (!(mode & 0222))
        SetFileAttributesW(Wide(name).c_str(), FILE_ATTRIBUTE_READONLY);
}

std::optional<std::string> ReadFile(const std::string& name)
{
    std::ifstream in(std::filesystem::path(Wide(name)), std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Exists(const std::string& name)
{
    return GetFileAttributesW(Wide(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

unsigned ModeOf(const std::string& name)
{
    const DWORD attributes = GetFileAttributesW(Wide(name).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return 0;
    return (attributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0644;
}

} // namespace testing_support
