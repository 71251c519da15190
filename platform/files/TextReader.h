#pragma once
// Reads a text file a block at a time, knowing its encoding from its first bytes;
// lines are the caller's business, so no line is too long to read.
#include "platform/files/FileError.h"
#include "platform/files/FileSystem.h"
#include "platform/files/TextEncoding.h"

#include <string>

namespace files {

class TextReader {
public:
    // Refuses anything but a regular file (a FIFO would hang, a folder cannot be read).
    static FileResult<TextReader> Open(const std::string& name);
    TextReader(TextReader&& other) noexcept;
    TextReader& operator=(TextReader&&) = delete;
    ~TextReader();  // closes quietly if Close was not called

    TextEncoding Encoding() const { return m_encoding; }
    std::string_view Mark() const { return MarkOf(m_encoding); }
    const FileInfo& Info() const { return m_info; }

    // The bytes after those already read, a block at a time and with no regard
    // to lines (an odd last byte included), after the last `kept` bytes of the
    // block before, which a search may need again; no more than those at the
    // end of the file. `kept` may be of any size: the block grows to hold it.
    // The view lasts until the next read.
    FileResult<std::string_view> ReadBlock(std::size_t kept = 0);
    // Where in the file the block that ReadBlock gave last begins.
    std::uint64_t BlockOffset() const { return m_blockOffset; }
    // The next read starts at `offset`: the bytes before it are not read.
    void SkipTo(std::uint64_t offset);
    // Up to `count` bytes from `offset` of the file, wherever the reading is.
    FileResult<std::string> ReadBytesAt(std::uint64_t offset, std::size_t count);
    FileStatus Close();

private:
    friend class TextFile;  // copies from the file by its handle
    TextReader(FileSystem& fileSystem, FileHandle file, std::string name, FileInfo info);
    FileStatus Fill();  // appends the next block; sets m_atEnd

    FileSystem& m_fileSystem;
    FileHandle m_file;
    std::string m_name;
    FileInfo m_info;
    TextEncoding m_encoding = TextEncoding::Utf16Le;
    std::string m_buffer;  // its size only grows: bytes past m_end are room for the next read
    std::size_t m_end = 0;
    std::uint64_t m_bufferOffset = 0;  // of m_buffer's first byte in the file
    std::uint64_t m_blockOffset = 0;
    std::size_t m_position = 0;  // start of the bytes not yet given in m_buffer
    bool m_atEnd = false;
};

} // namespace files
