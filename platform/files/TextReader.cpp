#include "platform/files/TextReader.h"

#include <algorithm>
#include <cstring>

namespace files {
namespace {

constexpr std::size_t BlockSize = 256 * 1024;

} // namespace

FileResult<TextReader> TextReader::Open(const std::string& name)
{
    FileSystem& fileSystem = CurrentFileSystem();
    const FileError notRegular(FileFault::Other, "opened", name, "it is not a regular file");
    // Copied first: once the file is open, nothing may fail before it has its owner.
    std::string ownName = name;
    auto file = fileSystem.Open(name, OpenMode::Read);
    if (!file.Ok()) {
        // Windows will not open a folder as a file: it is told as where it opens.
        auto named = file.Error().IsMissing() ? FileResult<FileInfo>(FileInfo{}) : fileSystem.Examine(name);
        if (named.Ok() && named.Value().exists && !named.Value().regular && !named.Value().symlink)
            return notRegular;
        return file.Error().Named(name);
    }
    auto info = fileSystem.Examine(file.Value());
    if (!info.Ok() || !info.Value().regular) {
        fileSystem.Close(file.Value());
        if (!info.Ok())
            return info.Error().Named(name);
        return notRegular;
    }
    TextReader reader(fileSystem, file.Value(), std::move(ownName), info.Value());
    // Three bytes tell the encoding; the mark belongs to no line.
    while (reader.m_end < 3 && !reader.m_atEnd) {
        FileStatus filled = reader.Fill();
        if (!filled.Ok())
            return filled.Error();
    }
    reader.m_encoding = DetectEncoding(std::string_view(reader.m_buffer.data(), reader.m_end));
    reader.m_position = MarkOf(reader.m_encoding).size();
    return reader;
}

TextReader::TextReader(FileSystem& fileSystem, FileHandle file, std::string name, FileInfo info)
    : m_fileSystem(fileSystem), m_file(file), m_name(std::move(name)), m_info(info)
{
}

TextReader::TextReader(TextReader&& other) noexcept
    : m_fileSystem(other.m_fileSystem), m_file(other.m_file), m_name(std::move(other.m_name)),
      m_info(other.m_info), m_encoding(other.m_encoding), m_buffer(std::move(other.m_buffer)),
      m_end(other.m_end), m_bufferOffset(other.m_bufferOffset), m_blockOffset(other.m_blockOffset),
      m_position(other.m_position), m_atEnd(other.m_atEnd)
{
    other.m_file = -1;
}

TextReader::~TextReader()
{
    if (m_file >= 0)
        m_fileSystem.Close(m_file);
}

FileStatus TextReader::Close()
{
    FileHandle file = m_file;
    m_file = -1;
    FileStatus closed = m_fileSystem.Close(file);
    if (!closed.Ok())
        return closed.Error().Named(m_name);
    return {};
}

FileStatus TextReader::Fill()
{
    // Nothing before m_end is dropped here: ReadBlock has already moved what a
    // search keeps to the front, however much longer than a block it is.
    // Grown only, never shrunk: filling the room afresh for every block would cost as much as the reading.
    if (m_buffer.size() < m_end + BlockSize)
        m_buffer.resize(m_end + BlockSize);
    // At an offset of its own, so that the reading may skip what it need not read.
    auto count = m_fileSystem.ReadAt(m_file, m_bufferOffset + m_end, m_buffer.data() + m_end, BlockSize);
    if (!count.Ok())
        return count.Error().Named(m_name);
    m_end += count.Value();
    m_atEnd = count.Value() == 0;
    return {};
}

FileResult<std::string_view> TextReader::ReadBlock(std::size_t kept)
{
    kept = std::min(kept, m_position);
    if (m_position == m_end) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_end - kept, kept);
        m_bufferOffset += m_end - kept;
        m_end = kept;
        m_position = kept;
        FileStatus filled = Fill();
        if (!filled.Ok())
            return filled.Error();
    }
    const std::string_view block(m_buffer.data() + m_position - kept, m_end - m_position + kept);
    m_blockOffset = m_bufferOffset + m_position - kept;
    m_position = m_end;
    return block;
}

void TextReader::SkipTo(std::uint64_t offset)
{
    m_end = 0;
    m_bufferOffset = offset;
    m_position = 0;
    m_atEnd = false;
}

FileResult<std::string> TextReader::ReadBytesAt(std::uint64_t offset, std::size_t count)
{
    std::string bytes(count, '\0');
    std::size_t filled = 0;
    while (filled < count) {
        auto read = m_fileSystem.ReadAt(m_file, offset + filled, bytes.data() + filled, count - filled);
        if (!read.Ok())
            return read.Error().Named(m_name);
        if (read.Value() == 0)
            break;
        filled += read.Value();
    }
    bytes.resize(filled);
    return bytes;
}

} // namespace files
