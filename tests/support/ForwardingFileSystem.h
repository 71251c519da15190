#pragma once
// For tests: a file system that hands every call to another, so that one made
// for a test overrides only the calls it changes.
#include "platform/files/FileSystem.h"

namespace files {

class ForwardingFileSystem : public FileSystem {
public:
    explicit ForwardingFileSystem(FileSystem& inner) : m_inner(inner) {}

    FileResult<FileHandle> Open(const std::string& name, OpenMode mode) override { return m_inner.Open(name, mode); }
    FileResult<std::size_t> Read(FileHandle file, char* buffer, std::size_t size) override
    {
        return m_inner.Read(file, buffer, size);
    }
    FileResult<std::size_t> ReadAt(FileHandle file, std::uint64_t offset, char* buffer, std::size_t size) override
    {
        return m_inner.ReadAt(file, offset, buffer, size);
    }
    FileStatus Write(FileHandle file, const char* data, std::size_t size) override
    {
        return m_inner.Write(file, data, size);
    }
    FileStatus WriteAt(FileHandle file, std::uint64_t offset, const char* data, std::size_t size) override
    {
        return m_inner.WriteAt(file, offset, data, size);
    }
    FileStatus CopyRange(FileHandle from, std::uint64_t offset, FileHandle to, std::uint64_t size) override
    {
        return m_inner.CopyRange(from, offset, to, size);
    }
    SpanCopy BestSpanCopy(FileHandle to) override { return m_inner.BestSpanCopy(to); }
    FileStatus SeekToEnd(FileHandle file) override { return m_inner.SeekToEnd(file); }
    FileResult<std::uint64_t> WriteAtEnd(FileHandle file, const char* data, std::size_t size) override
    {
        return m_inner.WriteAtEnd(file, data, size);
    }
    EndWrite HowEndIsWritten() const override { return m_inner.HowEndIsWritten(); }
    FileStatus Truncate(FileHandle file, std::uint64_t size) override { return m_inner.Truncate(file, size); }
    FileStatus Sync(FileHandle file) override { return m_inner.Sync(file); }
    FileStatus Close(FileHandle file) override { return m_inner.Close(file); }
    FileStatus Rename(const std::string& from, const std::string& to, RenameMode mode) override
    {
        return m_inner.Rename(from, to, mode);
    }
    FileStatus Remove(const std::string& name) override { return m_inner.Remove(name); }
    FileResult<FileInfo> Examine(const std::string& name) override { return m_inner.Examine(name); }
    FileResult<FileInfo> Examine(FileHandle file) override { return m_inner.Examine(file); }
    FileStatus SetMode(FileHandle file, unsigned mode) override { return m_inner.SetMode(file, mode); }
    FileStatus SetOwner(FileHandle file, unsigned owner, unsigned group) override
    {
        return m_inner.SetOwner(file, owner, group);
    }
    FileResult<bool> TakeAccessList(const std::string& original, FileHandle copy) override
    {
        return m_inner.TakeAccessList(original, copy);
    }
    FileResult<bool> LetInWritersOf(const std::string& original, FileHandle lock, unsigned classMode) override
    {
        return m_inner.LetInWritersOf(original, lock, classMode);
    }
    unsigned ProcessOwner() const override { return m_inner.ProcessOwner(); }
    std::string UserName(unsigned user) const override { return m_inner.UserName(user); }
    bool OpenBeyondWriters(FileHandle lock, const FileInfo& lockInfo, const std::string& userFile,
                           const FileInfo& userFileInfo) const override
    {
        return m_inner.OpenBeyondWriters(lock, lockInfo, userFile, userFileInfo);
    }
    bool IsMember(unsigned user, unsigned group) const override { return m_inner.IsMember(user, group); }
    FileResult<LockWait> LockByte(FileHandle file, std::uint64_t offset, ByteLock lock,
                                  std::chrono::steady_clock::time_point deadline) override
    {
        return m_inner.LockByte(file, offset, lock, deadline);
    }
    ReadersAndRenames HowReadersMeetRenames() const override { return m_inner.HowReadersMeetRenames(); }

private:
    FileSystem& m_inner;
};

} // namespace files
