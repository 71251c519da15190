#pragma once
// For tests: a file system that makes chosen calls fail with a chosen fault
// (a broken disk, a full one...) and passes everything else on to the real one.
// Install it with FileSystemScope; link quillmark_files_testing.
#include "tests/support/ForwardingFileSystem.h"

#include <functional>
#include <string_view>
#include <vector>

namespace files {

// A failure as a backend reports it: the fault the layers above ask about, in the system's words.
struct InjectedFault {
    FileFault fault;
    std::string_view reason;
};
inline constexpr InjectedFault BrokenDisk{FileFault::Other, "Input/output error"};
inline constexpr InjectedFault FullDisk{FileFault::Other, "No space left on device"};
inline constexpr InjectedFault NoPermission{FileFault::Denied, "Permission denied"};
inline constexpr InjectedFault NoLocks{FileFault::Unsupported, "No locks available"};

// Used: every span goes by the kernel's copy, as where blocks may be shared;
// Refused: copies go through memory, as on file systems without the kernel's
// copy, in reads and writes that fail like any other; ForUnreadSpans: spans
// the copy has read leave from memory, as on ext4 and tmpfs.
enum class KernelCopy { Used, Refused, ForUnreadSpans };

class FaultInjectingFileSystem final : public ForwardingFileSystem {
public:
    explicit FaultInjectingFileSystem(FileSystem& inner = SystemFileSystem());

    void SetKernelCopy(KernelCopy kernelCopy) { m_kernelCopy = kernelCopy; }
    // The nth call of `kind` (1 is the next one; FileCall::Any counts every call) fails once.
    void FailCall(FileCall kind, int nth, InjectedFault fault);
    // Every call of `kind` fails from now on, as on a full disk.
    void FailEveryCall(FileCall kind, InjectedFault fault);
    void Heal();  // no more faults; counts start again
    // Called before each call is made: to look at the files between two steps.
    void BeforeEachCall(std::function<void(FileCall)> observer) { m_observer = std::move(observer); }

    int CallCount() const { return static_cast<int>(m_calls.size()); }
    const std::vector<FileCall>& Calls() const { return m_calls; }
    int FaultsInjected() const { return m_faults; }

    FileResult<FileHandle> Open(const std::string& name, OpenMode mode) override;
    FileResult<std::size_t> Read(FileHandle file, char* buffer, std::size_t size) override;
    FileResult<std::size_t> ReadAt(FileHandle file, std::uint64_t offset, char* buffer, std::size_t size) override;
    FileStatus Write(FileHandle file, const char* data, std::size_t size) override;
    FileStatus WriteAt(FileHandle file, std::uint64_t offset, const char* data, std::size_t size) override;
    // A copy writes: it fails where writes do.
    FileStatus CopyRange(FileHandle from, std::uint64_t offset, FileHandle to, std::uint64_t size) override;
    SpanCopy BestSpanCopy(FileHandle) override
    {
        return m_kernelCopy == KernelCopy::ForUnreadSpans ? SpanCopy::FromMemory : SpanCopy::ByCopyRange;
    }
    FileStatus SeekToEnd(FileHandle file) override;
    FileResult<std::uint64_t> WriteAtEnd(FileHandle file, const char* data, std::size_t size) override;
    FileStatus Truncate(FileHandle file, std::uint64_t size) override;
    FileStatus Sync(FileHandle file) override;
    FileStatus Close(FileHandle file) override;
    FileStatus Rename(const std::string& from, const std::string& to, RenameMode mode) override;
    FileStatus Remove(const std::string& name) override;
    FileResult<FileInfo> Examine(const std::string& name) override;
    FileResult<FileInfo> Examine(FileHandle file) override;
    FileStatus SetMode(FileHandle file, unsigned mode) override;
    FileStatus SetOwner(FileHandle file, unsigned owner, unsigned group) override;
    bool IsMember(unsigned user, unsigned group) const override
    {
        return m_members ? m_members(user, group) : ForwardingFileSystem::IsMember(user, group);
    }
    // Stands for the system's user and group database, for users it lacks.
    void SetMembers(std::function<bool(unsigned user, unsigned group)> members) { m_members = std::move(members); }
    FileResult<LockWait> LockByte(FileHandle file, std::uint64_t offset, ByteLock lock,
                                  std::chrono::steady_clock::time_point deadline) override;

private:
    // Records the call; the error to return if it is to fail.
    std::optional<FileError> Fault(FileCall kind, const std::string& action, const std::string& name = {});

    std::function<void(FileCall)> m_observer;
    std::function<bool(unsigned, unsigned)> m_members;
    std::vector<FileCall> m_calls;
    KernelCopy m_kernelCopy = KernelCopy::Used;
    FileCall m_kind = FileCall::Any;
    int m_remaining = 0;  // calls of m_kind until the one that fails; 0: none
    bool m_every = false;
    InjectedFault m_fault = BrokenDisk;
    int m_faults = 0;
};

} // namespace files
