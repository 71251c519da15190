#pragma once
// The user file as an append holds it: opened once, closed when it goes out
// of scope, so that no return and no exception leaves its handle open. Each
// call is the file system's own on the file held, its error as given.
#include "platform/files/FileSystem.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace store {

class HeldFile {
public:
    static files::FileResult<HeldFile> Open(const std::string& name, files::OpenMode mode);
    HeldFile(HeldFile&& other) noexcept;
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    HeldFile& operator=(HeldFile&&) = delete;
    // A close that fails loses nothing: what must last was saved by Sync.
    ~HeldFile();

    files::FileResult<files::FileInfo> Examine() const;
    files::FileResult<std::size_t> ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const;
    files::EndWrite HowEndIsWritten() const;
    files::FileStatus WriteAt(std::uint64_t offset, const char* data, std::size_t size);
    files::FileResult<std::uint64_t> WriteAtEnd(const char* data, std::size_t size);
    files::FileStatus Truncate(std::uint64_t size);
    files::FileStatus SetMode(unsigned mode);
    files::FileStatus Sync();

private:
    HeldFile(files::FileSystem& fileSystem, files::FileHandle file) : m_fileSystem(fileSystem), m_file(file) {}

    files::FileSystem& m_fileSystem;
    files::FileHandle m_file;  // -1 once moved from
};

} // namespace store
