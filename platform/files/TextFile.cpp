#include "platform/files/TextFile.h"

#include "platform/files/TextReader.h"

namespace files {
namespace {

constexpr std::size_t FlushSize = 64 * 1024;

} // namespace

FileResult<TextFile> CreateTextFile(const std::string& name, TextEncoding encoding)
{
    FileSystem& fileSystem = CurrentFileSystem();
    // Copied first: once the file exists, nothing may fail before it has its owner.
    std::string ownName = name;
    auto file = fileSystem.Open(name, OpenMode::CreateNew);
    if (!file.Ok())
        return file.Error().Named(name);
    return TextFile(fileSystem, file.Value(), std::move(ownName), encoding);
}

TextFile::TextFile(FileSystem& fileSystem, FileHandle file, std::string name, TextEncoding encoding)
    : m_fileSystem(fileSystem), m_file(file), m_name(std::move(name)), m_encoding(encoding)
{
}

TextFile::TextFile(TextFile&& other) noexcept
    : m_fileSystem(other.m_fileSystem), m_file(other.m_file), m_name(std::move(other.m_name)),
      m_encoding(other.m_encoding), m_pending(std::move(other.m_pending))
{
    other.m_file = -1;
}

TextFile::~TextFile()
{
    if (m_file >= 0)
        m_fileSystem.Close(m_file);
}

FileStatus TextFile::Flush()
{
    if (m_pending.empty())
        return {};
    FileStatus written = m_fileSystem.Write(m_file, m_pending.data(), m_pending.size());
    m_pending.clear();
    if (!written.Ok())
        return Named(written.Error());
    return {};
}

FileStatus TextFile::WriteBytes(std::string_view bytes)
{
    // A block as large as the buffer goes out as it is, without a copy.
    if (m_pending.empty() && bytes.size() >= FlushSize) {
        if (FileStatus written = m_fileSystem.Write(m_file, bytes.data(), bytes.size()); !written.Ok())
            return Named(written.Error());
        return {};
    }
    m_pending.append(bytes);
    if (m_pending.size() >= FlushSize)
        return Flush();
    return {};
}

FileStatus TextFile::CopyFrom(const TextReader& reader, std::uint64_t offset, std::uint64_t size)
{
    if (FileStatus flushed = Flush(); !flushed.Ok())
        return flushed;
    if (FileStatus copied = m_fileSystem.CopyRange(reader.m_file, offset, m_file, size); !copied.Ok()) {
        // A read fails on the reader's file, anything else on this one.
        const bool reading = copied.Error().Action() == "read";
        return copied.Error().Named(reading ? reader.m_name : m_name);
    }
    return {};
}

FileStatus TextFile::SetOwner(unsigned owner, unsigned group)
{
    if (FileStatus set = m_fileSystem.SetOwner(m_file, owner, group); !set.Ok())
        return Named(set.Error());
    return {};
}

FileResult<bool> TextFile::TakeAccessList(const std::string& original)
{
    auto taken = m_fileSystem.TakeAccessList(original, m_file);
    // A failed read of the original's list already names the original.
    if (!taken.Ok() && taken.Error().Name().empty())
        return Named(taken.Error());
    return taken;
}

FileResult<FileInfo> TextFile::Examine()
{
    auto info = m_fileSystem.Examine(m_file);
    if (!info.Ok())
        return Named(info.Error());
    return info;
}

FileStatus TextFile::SetMode(unsigned mode)
{
    if (FileStatus changed = m_fileSystem.SetMode(m_file, mode); !changed.Ok())
        return Named(changed.Error());
    return {};
}

FileStatus TextFile::Sync()
{
    if (FileStatus flushed = Flush(); !flushed.Ok())
        return flushed;
    if (FileStatus synced = m_fileSystem.Sync(m_file); !synced.Ok())
        return Named(synced.Error());
    return {};
}

FileStatus TextFile::Close()
{
    FileStatus flushed = Flush();
    FileHandle file = m_file;
    m_file = -1;
    FileStatus closed = m_fileSystem.Close(file);
    if (!flushed.Ok())
        return flushed;
    if (!closed.Ok())
        return Named(closed.Error());
    return {};
}

} // namespace files
