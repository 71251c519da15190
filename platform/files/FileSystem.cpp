#include "platform/files/FileSystem.h"

#include <algorithm>
#include <vector>

namespace files {
namespace {

FileSystem* g_current = nullptr;

constexpr std::size_t CopyBufferSize = 256 * 1024;

} // namespace

FileStatus CopyThroughMemory(FileSystem& fileSystem, FileHandle from, std::uint64_t offset, FileHandle to,
                             std::uint64_t size)
{
    std::vector<char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(size, CopyBufferSize)));
    while (size > 0) {
        const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, buffer.size()));
        auto count = fileSystem.ReadAt(from, offset, buffer.data(), wanted);
        if (!count.Ok())
            return count.Error();
        // The bytes to copy were there when they were read before: a file
        // that lost them since is not copied short.
        if (count.Value() == 0)
            return FileError(FileFault::Other, "read", {}, "it ended before the copy did");
        if (FileStatus written = fileSystem.Write(to, buffer.data(), count.Value()); !written.Ok())
            return written;
        offset += count.Value();
        size -= count.Value();
    }
    return {};
}

FileSystem& CurrentFileSystem()
{
    return g_current ? *g_current : SystemFileSystem();
}

FileSystemScope::FileSystemScope(FileSystem& fileSystem) : m_previous(g_current)
{
    g_current = &fileSystem;
}

FileSystemScope::~FileSystemScope()
{
    g_current = m_previous;
}

} // namespace files
