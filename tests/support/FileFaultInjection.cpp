#include "tests/support/FileFaultInjection.h"

namespace files {

FaultInjectingFileSystem::FaultInjectingFileSystem(FileSystem& inner) : ForwardingFileSystem(inner) {}

void FaultInjectingFileSystem::FailCall(FileCall kind, int nth, InjectedFault fault)
{
    m_kind = kind;
    m_remaining = nth;
    m_every = false;
    m_fault = fault;
}

void FaultInjectingFileSystem::FailEveryCall(FileCall kind, InjectedFault fault)
{
    m_kind = kind;
    m_remaining = 0;
    m_every = true;
    m_fault = fault;
}

void FaultInjectingFileSystem::Heal()
{
    m_remaining = 0;
    m_every = false;
    m_calls.clear();
}

std::optional<FileError> FaultInjectingFileSystem::Fault(FileCall kind, const std::string& action,
                                                         const std::string& name)
{
    if (m_observer)
        m_observer(kind);
    m_calls.push_back(kind);
    if (m_kind != FileCall::Any && m_kind != kind)
        return std::nullopt;
    bool fails = m_every || (m_remaining > 0 && --m_remaining == 0);
    if (!fails)
        return std::nullopt;
    ++m_faults;
    return FileError(m_fault.fault, action, name, std::string(m_fault.reason));
}

FileResult<FileHandle> FaultInjectingFileSystem::Open(const std::string& name, OpenMode mode)
{
    if (auto error = Fault(FileCall::Open, "opened", name))
        return *error;
    return ForwardingFileSystem::Open(name, mode);
}

FileResult<std::size_t> FaultInjectingFileSystem::Read(FileHandle file, char* buffer, std::size_t size)
{
    if (auto error = Fault(FileCall::Read, "read"))
        return *error;
    return ForwardingFileSystem::Read(file, buffer, size);
}

FileResult<std::size_t> FaultInjectingFileSystem::ReadAt(FileHandle file, std::uint64_t offset, char* buffer,
                                                         std::size_t size)
{
    if (auto error = Fault(FileCall::Read, "read"))
        return *error;
    return ForwardingFileSystem::ReadAt(file, offset, buffer, size);
}

FileStatus FaultInjectingFileSystem::Truncate(FileHandle file, std::uint64_t size)
{
    if (auto error = Fault(FileCall::Truncate, "cut back"))
        return *error;
    return ForwardingFileSystem::Truncate(file, size);
}

FileStatus FaultInjectingFileSystem::Write(FileHandle file, const char* data, std::size_t size)
{
    if (auto error = Fault(FileCall::Write, "written"))
        return *error;
    return ForwardingFileSystem::Write(file, data, size);
}

FileStatus FaultInjectingFileSystem::WriteAt(FileHandle file, std::uint64_t offset, const char* data, std::size_t size)
{
    if (auto error = Fault(FileCall::Write, "written"))
        return *error;
    return ForwardingFileSystem::WriteAt(file, offset, data, size);
}

FileStatus FaultInjectingFileSystem::CopyRange(FileHandle from, std::uint64_t offset, FileHandle to,
                                               std::uint64_t size)
{
    if (auto error = Fault(FileCall::Write, "written"))
        return *error;
    if (m_kernelCopy == KernelCopy::Refused)
        return CopyThroughMemory(*this, from, offset, to, size);
    return ForwardingFileSystem::CopyRange(from, offset, to, size);
}

FileResult<std::uint64_t> FaultInjectingFileSystem::WriteAtEnd(FileHandle file, const char* data, std::size_t size)
{
    if (auto error = Fault(FileCall::Write, "written"))
        return *error;
    return ForwardingFileSystem::WriteAtEnd(file, data, size);
}

FileStatus FaultInjectingFileSystem::SeekToEnd(FileHandle file)
{
    if (auto error = Fault(FileCall::Seek, "positioned"))
        return *error;
    return ForwardingFileSystem::SeekToEnd(file);
}

FileStatus FaultInjectingFileSystem::Sync(FileHandle file)
{
    if (auto error = Fault(FileCall::Sync, "saved to disk"))
        return *error;
    return ForwardingFileSystem::Sync(file);
}

FileStatus FaultInjectingFileSystem::Close(FileHandle file)
{
    // A failed close still releases the descriptor, as on Linux.
    auto error = Fault(FileCall::Close, "closed");
    FileStatus closed = ForwardingFileSystem::Close(file);
    if (error)
        return *error;
    return closed;
}

FileStatus FaultInjectingFileSystem::Rename(const std::string& from, const std::string& to, RenameMode mode)
{
    if (auto error = Fault(FileCall::Rename, "renamed to " + to, from))
        return *error;
    return ForwardingFileSystem::Rename(from, to, mode);
}

FileStatus FaultInjectingFileSystem::Remove(const std::string& name)
{
    if (auto error = Fault(FileCall::Remove, "removed", name))
        return *error;
    return ForwardingFileSystem::Remove(name);
}

FileResult<FileInfo> FaultInjectingFileSystem::Examine(const std::string& name)
{
    if (auto error = Fault(FileCall::Examine, "examined", name))
        return *error;
    return ForwardingFileSystem::Examine(name);
}

FileResult<FileInfo> FaultInjectingFileSystem::Examine(FileHandle file)
{
    if (auto error = Fault(FileCall::Examine, "examined"))
        return *error;
    return ForwardingFileSystem::Examine(file);
}

FileStatus FaultInjectingFileSystem::SetMode(FileHandle file, unsigned mode)
{
    if (auto error = Fault(FileCall::SetMode, "given its permissions"))
        return *error;
    return ForwardingFileSystem::SetMode(file, mode);
}

FileStatus FaultInjectingFileSystem::SetOwner(FileHandle file, unsigned owner, unsigned group)
{
    if (auto error = Fault(FileCall::SetOwner, "given its owner"))
        return *error;
    return ForwardingFileSystem::SetOwner(file, owner, group);
}

FileResult<LockWait> FaultInjectingFileSystem::LockByte(FileHandle file, std::uint64_t offset, ByteLock lock,
                                                        std::chrono::steady_clock::time_point deadline)
{
    if (auto error = Fault(FileCall::Lock, "locked"))
        return *error;
    return ForwardingFileSystem::LockByte(file, offset, lock, deadline);
}

} // namespace files
