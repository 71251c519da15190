// The test folder helpers of Folder.h on Windows, where a file's
// only permission is read-only: a mode without write bits stands for it.
#include "Folder.h"

#include <windows.h>

#include <cerrno>

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <vector>

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

// The links that symlink() made. One that leads nowhere cannot be seen from
// here, and remove_all would not get past it: each is replaced by a file first.
std::vector<std::wstring>& LinksMade()
{
    static std::vector<std::wstring> links;
    return links;
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
    for (const std::wstring& link : LinksMade()) {
        const std::wstring replacement = link + L".gone";
        std::ofstream(std::filesystem::path(replacement)).close();
        MoveFileExW(replacement.c_str(), link.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    LinksMade().clear();
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

// CreateSymbolicLinkW makes nothing under Wine, but Wine runs Unix programs
// in the current folder. It hands back no handles for one (what it leaves in
// their place must not be closed), so the name is watched until it shows: as
// a file, or as found and skipped where it leads nowhere.
int symlink(const char* target, const char* name)
{
    const std::wstring link = testing_support::Wide(name);
    std::wstring command = L"ln -s -- \"" + testing_support::Wide(target) + L"\" \"" + link + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(L"Z:\\bin\\ln", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        errno = ENOSYS;
        return -1;
    }
    testing_support::LinksMade().push_back(std::filesystem::absolute(link).wstring());
    for (int pause = 0; pause < 500; ++pause) {
        WIN32_FIND_DATAW listed{};
        HANDLE search = FindFirstFileW(link.c_str(), &listed);
        if (search != INVALID_HANDLE_VALUE)
            FindClose(search);
        if (search != INVALID_HANDLE_VALUE || GetLastError() == ERROR_NO_MORE_FILES)
            return 0;
        Sleep(10);
    }
    errno = EIO;
    return -1;
}
