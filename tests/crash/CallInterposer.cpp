// Linked into a test program, these definitions come before the C library's,
// which they call through RTLD_NEXT.
#include "CallInterposer.h"

#include <cerrno>
#include <cstdarg>
#include <dlfcn.h>
#include <fcntl.h>
#include <map>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace crash {
namespace {

struct State {
    bool recording = false;
    bool faulty = false;
    std::optional<std::size_t> shortWrites;
    int syncError = 0;
    std::optional<int> copyRefusal;
    std::map<std::pair<CallKind, std::string>, int> namedFaults;
    int lockError = 0;
    std::set<int> watched;
    std::vector<Call> calls;
};

State& Current()
{
    static State state;
    return state;
}

template <class Function>
Function Real(const char* name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

bool Watching() { return Current().recording || Current().faulty; }
bool Watched(int file) { return Current().watched.count(file) != 0; }

void Record(Call call)
{
    if (Current().recording)
        Current().calls.push_back(std::move(call));
}

long Recorded(Call call, long result)
{
    call.result = result;
    call.error = result < 0 ? errno : 0;
    const int saved = errno;
    Record(std::move(call));
    errno = saved;
    return result;
}

int Opened(const char* name, int flags, int result)
{
    if (!Watching() || name[0] == '/')
        return result;
    if (result >= 0)
        Current().watched.insert(result);
    return static_cast<int>(Recorded({CallKind::Open, result, name, {}, flags}, result));
}

bool ByName(const char* name) { return Watching() && name[0] != '/'; }

using WriteFunction = ssize_t (*)(int, const void*, std::size_t);
using WriteAtFunction = ssize_t (*)(int, const void*, std::size_t, off_t);
using FileFunction = int (*)(int);
using TruncateFunction = int (*)(int, off_t);

// A write at the file's position when `writeAt` is null.
ssize_t Written(int file, const void* data, std::size_t size, off_t offset, WriteFunction write, WriteAtFunction writeAt)
{
    if (!Watched(file))
        return writeAt ? writeAt(file, data, size, offset) : write(file, data, size);
    if (!writeAt)
        offset = ::lseek(file, 0, SEEK_CUR);
    // An appending write lands at the end, wherever the position is.
    if (const int flags = ::fcntl(file, F_GETFL); !writeAt && flags >= 0 && (flags & O_APPEND))
        offset = ::lseek(file, 0, SEEK_END);
    if (Current().faulty && Current().shortWrites && size > *Current().shortWrites)
        size = *Current().shortWrites;
    const ssize_t result = writeAt ? writeAt(file, data, size, offset) : write(file, data, size);
    Call call{CallKind::Write, file};
    call.offset = static_cast<std::uint64_t>(offset);
    if (result > 0)
        call.data.assign(static_cast<const char*>(data), static_cast<std::size_t>(result));
    return Recorded(std::move(call), result);
}

using CopyFunction = ssize_t (*)(int, off_t*, int, off_t*, std::size_t, unsigned);

// The kernel's copy, recorded as the write of the bytes that it copied.
ssize_t Copied(int from, off_t* fromOffset, int to, off_t* toOffset, std::size_t size, unsigned flags, CopyFunction copy)
{
    if (!Watched(to) || !fromOffset)
        return copy(from, fromOffset, to, toOffset, size, flags);
    if (Current().faulty && Current().copyRefusal) {
        errno = *Current().copyRefusal;
        return errno == 0 ? 0 : -1;
    }
    if (Current().faulty && Current().shortWrites && size > *Current().shortWrites)
        size = *Current().shortWrites;
    const off_t readAt = *fromOffset;
    Call call{CallKind::Write, to};
    call.offset = static_cast<std::uint64_t>(toOffset ? *toOffset : ::lseek(to, 0, SEEK_CUR));
    const ssize_t result = copy(from, fromOffset, to, toOffset, size, flags);
    if (result > 0) {
        call.data.resize(static_cast<std::size_t>(result));
        if (::pread(from, call.data.data(), call.data.size(), readAt) != result)
            call.data.clear();
    }
    return Recorded(std::move(call), result);
}

int Synced(int file, FileFunction sync)
{
    if (!Watched(file))
        return sync(file);
    if (Current().faulty && Current().syncError != 0) {
        errno = Current().syncError;
        return static_cast<int>(Recorded({CallKind::Sync, file}, -1));
    }
    return static_cast<int>(Recorded({CallKind::Sync, file}, sync(file)));
}

int Truncated(int file, off_t size, TruncateFunction truncate)
{
    const int result = truncate(file, size);
    if (!Watched(file))
        return result;
    Call call{CallKind::Truncate, file};
    call.offset = static_cast<std::uint64_t>(size);
    return static_cast<int>(Recorded(std::move(call), result));
}

// The errno that a call of `kind` on `name` is to fail with; 0: none.
int NamedFault(CallKind kind, const char* name)
{
    if (!Current().faulty)
        return 0;
    const auto found = Current().namedFaults.find({kind, name});
    return found == Current().namedFaults.end() ? 0 : found->second;
}

template <class Call>
int MadeByName(CallKind kind, const char* name, Call call)
{
    if (const int code = NamedFault(kind, name)) {
        errno = code;
        return -1;
    }
    return call();
}

int Named(CallKind kind, const char* name, const char* target, int result)
{
    if (!ByName(name))
        return result;
    return static_cast<int>(Recorded({kind, -1, name, target ? target : ""}, result));
}

mode_t ModeOf(int flags, va_list arguments)
{
    return (flags & (O_CREAT | O_TMPFILE)) ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
}

const char* NameOf(CallKind kind)
{
    switch (kind) {
    case CallKind::Open: return "open";
    case CallKind::Write: return "write";
    case CallKind::Truncate: return "ftruncate";
    case CallKind::Sync: return "fsync";
    case CallKind::Close: return "close";
    case CallKind::Rename: return "rename";
    case CallKind::Link: return "link";
    case CallKind::Unlink: return "unlink";
    case CallKind::MakeFolder: return "mkdir";
    case CallKind::ReadAccessList: return "lgetxattr";
    }
    return "?";
}

} // namespace

void StartRecording()
{
    Current().recording = true;
    Current().calls.clear();
}

std::vector<Call> StopRecording()
{
    Current().recording = false;
    if (!Current().faulty)
        Current().watched.clear();
    return std::move(Current().calls);
}

std::string Describe(const Call& call)
{
    std::string text = NameOf(call.kind);
    text += "(" + (call.name.empty() ? std::to_string(call.file) : call.name);
    if (!call.target.empty())
        text += ", " + call.target;
    if (call.kind == CallKind::Write)
        text += ", " + std::to_string(call.data.size()) + " bytes at " + std::to_string(call.offset);
    if (call.kind == CallKind::Truncate)
        text += ", " + std::to_string(call.offset);
    text += ") = " + std::to_string(call.result);
    return call.result < 0 ? text + " (errno " + std::to_string(call.error) + ")" : text;
}

void ShortenWritesTo(std::size_t bytes)
{
    Current().faulty = true;
    Current().shortWrites = bytes;
}

void FailByName(CallKind kind, const std::string& name, int code)
{
    Current().faulty = true;
    Current().namedFaults[{kind, name}] = code;
}

void FailSyncs(int code)
{
    Current().faulty = true;
    Current().syncError = code;
}

void RefuseCopies(int code)
{
    Current().faulty = true;
    Current().copyRefusal = code;
}

void FailLocks(int code)
{
    Current().faulty = true;
    Current().lockError = code;
}

void ClearFaults()
{
    Current().faulty = false;
    Current().shortWrites.reset();
    Current().syncError = 0;
    Current().copyRefusal.reset();
    Current().namedFaults.clear();
    Current().lockError = 0;
    if (!Current().recording)
        Current().watched.clear();
}

} // namespace crash

using crash::CallKind;

extern "C" {

int open(const char* name, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = crash::ModeOf(flags, arguments);
    va_end(arguments);
    return crash::Opened(name, flags, crash::Real<int (*)(const char*, int, ...)>("open")(name, flags, mode));
}

int open64(const char* name, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = crash::ModeOf(flags, arguments);
    va_end(arguments);
    return crash::Opened(name, flags, crash::Real<int (*)(const char*, int, ...)>("open64")(name, flags, mode));
}

int openat(int folder, const char* name, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = crash::ModeOf(flags, arguments);
    va_end(arguments);
    const int result = crash::Real<int (*)(int, const char*, int, ...)>("openat")(folder, name, flags, mode);
    return folder == AT_FDCWD ? crash::Opened(name, flags, result) : result;
}

ssize_t write(int file, const void* data, size_t size)
{
    static const auto real = crash::Real<crash::WriteFunction>("write");
    return crash::Written(file, data, size, 0, real, nullptr);
}

ssize_t pwrite(int file, const void* data, size_t size, off_t offset)
{
    static const auto real = crash::Real<crash::WriteAtFunction>("pwrite");
    return crash::Written(file, data, size, offset, nullptr, real);
}

ssize_t pwrite64(int file, const void* data, size_t size, off_t offset)
{
    static const auto real = crash::Real<crash::WriteAtFunction>("pwrite64");
    return crash::Written(file, data, size, offset, nullptr, real);
}

ssize_t copy_file_range(int from, off_t* fromOffset, int to, off_t* toOffset, size_t size, unsigned flags)
{
    static const auto real = crash::Real<crash::CopyFunction>("copy_file_range");
    return crash::Copied(from, fromOffset, to, toOffset, size, flags, real);
}

int ftruncate(int file, off_t size)
{
    static const auto real = crash::Real<crash::TruncateFunction>("ftruncate");
    return crash::Truncated(file, size, real);
}

int ftruncate64(int file, off_t size)
{
    static const auto real = crash::Real<crash::TruncateFunction>("ftruncate64");
    return crash::Truncated(file, size, real);
}

// Every argument of fcntl fits a pointer's register on this ABI.
int fcntl(int file, int command, ...)
{
    static const auto real = crash::Real<int (*)(int, int, ...)>("fcntl");
    va_list arguments;
    va_start(arguments, command);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    if (command == F_OFD_SETLK && crash::Watched(file) && crash::Current().lockError) {
        errno = crash::Current().lockError;
        return -1;
    }
    return real(file, command, argument);
}

int fsync(int file)
{
    static const auto real = crash::Real<crash::FileFunction>("fsync");
    return crash::Synced(file, real);
}

int fdatasync(int file)
{
    static const auto real = crash::Real<crash::FileFunction>("fdatasync");
    return crash::Synced(file, real);
}

int close(int file)
{
    static const auto real = crash::Real<crash::FileFunction>("close");
    const int result = real(file);
    if (!crash::Watched(file))
        return result;
    crash::Current().watched.erase(file);
    return static_cast<int>(crash::Recorded({CallKind::Close, file}, result));
}

int rename(const char* from, const char* to)
{
    const auto real = crash::Real<int (*)(const char*, const char*)>("rename");
    return crash::Named(CallKind::Rename, from, to, crash::MadeByName(CallKind::Rename, from, [&] { return real(from, to); }));
}

int renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags)
{
    using Function = int (*)(int, const char*, int, const char*, unsigned);
    const int result = crash::MadeByName(CallKind::Rename, from, [&] {
        return crash::Real<Function>("renameat2")(fromFolder, from, toFolder, to, flags);
    });
    return fromFolder == AT_FDCWD && toFolder == AT_FDCWD ? crash::Named(CallKind::Rename, from, to, result) : result;
}

int link(const char* from, const char* to)
{
    return crash::Named(CallKind::Link, from, to, crash::Real<int (*)(const char*, const char*)>("link")(from, to));
}

int unlink(const char* name)
{
    const auto real = crash::Real<int (*)(const char*)>("unlink");
    return crash::Named(CallKind::Unlink, name, nullptr, crash::MadeByName(CallKind::Unlink, name, [&] { return real(name); }));
}

ssize_t lgetxattr(const char* name, const char* attribute, void* value, size_t size)
{
    using Function = ssize_t (*)(const char*, const char*, void*, size_t);
    return crash::MadeByName(CallKind::ReadAccessList, name, [&] {
        return static_cast<int>(crash::Real<Function>("lgetxattr")(name, attribute, value, size));
    });
}

int mkdir(const char* name, mode_t mode)
{
    return crash::Named(CallKind::MakeFolder, name, nullptr, crash::Real<int (*)(const char*, mode_t)>("mkdir")(name, mode));
}

} // extern "C"
