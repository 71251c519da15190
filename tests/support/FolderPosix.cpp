#include "Folder.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

const std::string NewFileLineEnd = "\n";

bool SucceedsInChild(const std::function<bool()>& work)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(work() ? 0 : 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void LimitAddressSpace(std::size_t headroom)
{
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer's quarantine would take the headroom; the plain build checks the bound.
    return;
#endif
    std::size_t pages = 0;
    if (std::ifstream statm("/proc/self/statm"); !(statm >> pages))
        throw std::runtime_error("cannot read /proc/self/statm");
    const rlim_t limit = pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)) + headroom;
    const rlimit capped{limit, limit};
    if (::setrlimit(RLIMIT_AS, &capped) != 0)
        throw std::runtime_error("setrlimit failed");
}

TemporaryFolder::TemporaryFolder() : m_previous(std::filesystem::current_path())
{
    std::string pattern = (std::filesystem::temp_directory_path() / "quillmark-store-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
    std::filesystem::current_path(m_path);
}

TemporaryFolder::~TemporaryFolder()
{
    std::filesystem::current_path(m_previous);
    std::error_code ignored;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(m_path, ignored);
}

void WriteFile(const std::string& name, std::string_view bytes, unsigned mode)
{
    {
        std::ofstream out(name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            throw std::runtime_error("cannot write " + name);
    }
    ::chmod(name.c_str(), mode);
}

std::optional<std::string> ReadFile(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Exists(const std::string& name)
{
    struct stat status {};
    return ::lstat(name.c_str(), &status) == 0;
}

unsigned ModeOf(const std::string& name)
{
    struct stat status {};
    ::lstat(name.c_str(), &status);
    return status.st_mode & 07777;
}

} // namespace testing_support
