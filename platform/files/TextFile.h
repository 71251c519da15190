#pragma once
// A new text file in a given encoding, as a change makes it: bytes written
// through a buffer (nothing added: no line end, no mark) or copied from a
// reader, its rights, owner and access list set, and saved to disk by Sync.
#include "platform/files/FileError.h"
#include "platform/files/FileSystem.h"
#include "platform/files/TextEncoding.h"

#include <string>
#include <string_view>

namespace files {

class TextReader;

class TextFile {
public:
    TextFile(TextFile&& other) noexcept;
    TextFile& operator=(TextFile&&) = delete;
    ~TextFile();  // closes quietly if Close was not called

    TextEncoding Encoding() const { return m_encoding; }
    FileStatus WriteBytes(std::string_view bytes);
    // `size` bytes from `offset` of the reader's file, as they are stored,
    // without passing them through this process where the system can.
    FileStatus CopyFrom(const TextReader& reader, std::uint64_t offset, std::uint64_t size);
    SpanCopy BestSpanCopy() { return m_fileSystem.BestSpanCopy(m_file); }
    FileStatus SetMode(unsigned mode);
    FileStatus SetOwner(unsigned owner, unsigned group);
    FileResult<bool> TakeAccessList(const std::string& original);
    FileResult<FileInfo> Examine();
    FileStatus Sync();   // what was written is on the disk
    FileStatus Close();  // writes what is buffered first

private:
    friend FileResult<TextFile> CreateTextFile(const std::string&, TextEncoding);
    TextFile(FileSystem& fileSystem, FileHandle file, std::string name, TextEncoding encoding);
    FileStatus Flush();
    FileError Named(const FileError& error) const { return error.Named(m_name); }

    FileSystem& m_fileSystem;
    FileHandle m_file;
    std::string m_name;
    TextEncoding m_encoding;
    std::string m_pending;
};

// A new file, of mode 0600; fails where the name exists in any form, a
// symbolic link included.
FileResult<TextFile> CreateTextFile(const std::string& name, TextEncoding encoding);

} // namespace files
