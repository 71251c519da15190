#include "store/HeldFile.h"

#include <new>

namespace store {

files::FileResult<HeldFile> HeldFile::Open(const std::string& name, files::OpenMode mode)
{
    files::FileSystem& fileSystem = files::CurrentFileSystem();
    auto opened = fileSystem.Open(name, mode);
    if (!opened.Ok())
        return opened.Error();
    return HeldFile(fileSystem, opened.Value());
}

HeldFile::HeldFile(HeldFile&& other) noexcept : m_fileSystem(other.m_fileSystem), m_file(other.m_file)
{
    other.m_file = -1;
}

HeldFile::~HeldFile()
{
    if (m_file < 0)
        return;
    // The handle is released even where the close's error finds no memory to be told in.
    try {
        m_fileSystem.Close(m_file);
    } catch (const std::bad_alloc&) {
    }
}

files::FileResult<files::FileInfo> HeldFile::Examine() const { return m_fileSystem.Examine(m_file); }

files::FileResult<std::size_t> HeldFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const
{
    return m_fileSystem.ReadAt(m_file, offset, buffer, size);
}

files::EndWrite HeldFile::HowEndIsWritten() const { return m_fileSystem.HowEndIsWritten(); }

files::FileStatus HeldFile::WriteAt(std::uint64_t offset, const char* data, std::size_t size)
{
    return m_fileSystem.WriteAt(m_file, offset, data, size);
}

files::FileResult<std::uint64_t> HeldFile::WriteAtEnd(const char* data, std::size_t size)
{
    return m_fileSystem.WriteAtEnd(m_file, data, size);
}

files::FileStatus HeldFile::Truncate(std::uint64_t size) { return m_fileSystem.Truncate(m_file, size); }

files::FileStatus HeldFile::SetMode(unsigned mode) { return m_fileSystem.SetMode(m_file, mode); }

files::FileStatus HeldFile::Sync() { return m_fileSystem.Sync(m_file); }

} // namespace store
