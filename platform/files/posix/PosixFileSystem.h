#pragma once
// The file system of the process on Linux: POSIX calls, retried on EINTR,
// by job: opening, reading and writing, renaming and removing, examining,
// access lists, the byte locks.
#include "platform/files/FileSystem.h"

namespace files {

class PosixFileSystem final : public FileSystem {
public:
    PosixFileSystem();
    FileResult<FileHandle> Open(const std::string& name, OpenMode mode) override;
    FileResult<std::size_t> Read(FileHandle file, char* buffer, std::size_t size) override;
    FileResult<std::size_t> ReadAt(FileHandle file, std::uint64_t offset, char* buffer, std::size_t size) override;
    FileStatus Write(FileHandle file, const char* data, std::size_t size) override;
    FileStatus WriteAt(FileHandle file, std::uint64_t offset, const char* data, std::size_t size) override;
    FileStatus CopyRange(FileHandle from, std::uint64_t offset, FileHandle to, std::uint64_t size) override;
    SpanCopy BestSpanCopy(FileHandle to) override;
    FileStatus SeekToEnd(FileHandle file) override;
    FileResult<std::uint64_t> WriteAtEnd(FileHandle file, const char* data, std::size_t size) override;
    EndWrite HowEndIsWritten() const override;
    FileStatus Truncate(FileHandle file, std::uint64_t size) override;
    FileStatus Sync(FileHandle file) override;
    FileStatus Close(FileHandle file) override;
    FileStatus Rename(const std::string& from, const std::string& to, RenameMode mode) override;
    FileStatus Remove(const std::string& name) override;
    FileResult<FileInfo> Examine(const std::string& name) override;
    FileResult<FileInfo> Examine(FileHandle file) override;
    FileStatus SetMode(FileHandle file, unsigned mode) override;
    FileStatus SetOwner(FileHandle file, unsigned owner, unsigned group) override;
    FileResult<bool> TakeAccessList(const std::string& original, FileHandle copy) override;
    FileResult<bool> LetInWritersOf(const std::string& original, FileHandle lock, unsigned classMode) override;
    unsigned ProcessOwner() const override;
    std::string UserName(unsigned user) const override;
    bool OpenBeyondWriters(FileHandle lock, const FileInfo& lockInfo, const std::string& userFile,
                           const FileInfo& userFileInfo) const override;
    bool IsMember(unsigned user, unsigned group) const override;
    FileResult<LockWait> LockByte(FileHandle file, std::uint64_t offset, ByteLock lock,
                                  std::chrono::steady_clock::time_point deadline) override;
    ReadersAndRenames HowReadersMeetRenames() const override;
};

} // namespace files
