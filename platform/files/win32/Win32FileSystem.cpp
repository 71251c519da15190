#include "platform/files/win32/Win32FileSystem.h"

#include "platform/files/FileLock.h"

#include "platform/files/win32/HandleCalls.h"
#include "platform/files/win32/UnixLinks.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

namespace files {
namespace {

// Another program's handle (an indexer, a virus scanner, a log-in reading the
// file) holds a file for a moment at a time: opens, replaces and removals
// that meet one try again for this long before they fail.
constexpr auto BusyPatience = std::chrono::seconds(5);
// How long one reader or replacement waits for the readers' and turnstile
// bytes together: a copy of the program holds them for moments, and whoever
// holds them longer (anyone who may read the lock file can) delays no more.
constexpr auto ReadersPatience = std::chrono::seconds(1);
constexpr DWORD LongestPause = 20;  // milliseconds
constexpr auto RightsVerdict = std::chrono::milliseconds(250);

// The faults that the layers above ask about, from the system's error codes.
FileFault FaultOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return FileFault::Missing;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return FileFault::Exists;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
        return FileFault::Unsupported;
    case ERROR_ACCESS_DENIED:
        return FileFault::Denied;
    default:
        return FileFault::Other;
    }
}

std::string Utf8Of(const wchar_t* text, int size)
{
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, size, out.data(), length, nullptr, nullptr);
    return out;
}

// The system's own wording, without its final period and line end.
std::string ReasonOf(DWORD error)
{
    if (error == ERROR_SHARING_VIOLATION)
        return "another program is using it";
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = length ? Utf8Of(text, static_cast<int>(length)) : std::string();
    LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' '
                               || reason.back() == '.'))
        reason.pop_back();
    if (reason.empty())
        reason = "system error " + std::to_string(error);
    return reason;
}

// Nothing taken and no error: asking again would only loop, and no reason is known.
FileError TookNothing()
{
    return FileError(FileFault::Other, "written", {}, "the system took none of the bytes");
}

FileError ErrorOf(DWORD error, std::string action, std::string name = {})
{
    return FileError(FaultOf(error), std::move(action), std::move(name), ReasonOf(error));
}

FileError LastError(std::string action, std::string name = {})
{
    return ErrorOf(GetLastError(), std::move(action), std::move(name));
}

std::wstring WideOf(const std::string& text)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length);
    return out;
}

bool IsSharingViolation(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION;
}

// Runs `attempt` (ERROR_SUCCESS or an error) until it succeeds, fails in a way
// that `busy` does not accept, or patience runs out; gives its last result.
template <typename Attempt, typename Busy>
DWORD WhileBusy(Attempt attempt, Busy busy,
                std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::now() + BusyPatience)
{
    for (DWORD pause = 1;; pause = std::min(pause * 2, LongestPause)) {
        const DWORD error = attempt();
        if (error == ERROR_SUCCESS || !busy(error) || std::chrono::steady_clock::now() >= deadline)
            return error;
        Sleep(pause);
    }
}

// Takes one byte of a file, shared or alone, waiting up to `deadline`.
bool TakeByte(HANDLE file, DWORD offset, DWORD lockFlags, std::chrono::steady_clock::time_point deadline)
{
    const DWORD error = WhileBusy(
        [&] {
            OVERLAPPED range{};
            range.Offset = offset;
            return LockFileEx(file, lockFlags | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &range) ? ERROR_SUCCESS
                                                                                         : GetLastError();
        },
        [](DWORD error) { return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING; }, deadline);
    return error == ERROR_SUCCESS;
}

// Readers and a replacement meet on the lock file, so that logging in only
// delays a change: a reader shares its second byte while it holds the user
// file open, and a replacement, which Windows refuses while anyone holds the
// file open, takes that byte alone for its rename. The third byte is a
// turnstile: a replacement waiting in it keeps new readers back, so that
// readers one after another never starve it. Where there is no lock file or
// a byte stays taken, each goes on as without it.
class ReadersByte {
public:
    static constexpr DWORD Readers = 1;
    static constexpr DWORD Turnstile = 2;

    ReadersByte(const std::string& name, DWORD lockFlags)
    {
        const DWORD access = GENERIC_READ | (lockFlags & LOCKFILE_EXCLUSIVE_LOCK ? GENERIC_WRITE : 0);
        m_handle = CreateFileW(WideOf(LockNameFor(name)).c_str(), access,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (m_handle == INVALID_HANDLE_VALUE)
            return;
        // A replacement that has the turnstile keeps it even where the
        // readers' byte stays taken: readers of the moment finish, and the
        // rename, refused while they have the file open, is tried again.
        const bool replacing = (lockFlags & LOCKFILE_EXCLUSIVE_LOCK) != 0;
        const auto deadline = std::chrono::steady_clock::now() + ReadersPatience;
        if (!TakeByte(m_handle, Turnstile, lockFlags, deadline)
            || (!TakeByte(m_handle, Readers, lockFlags, deadline) && !replacing)) {
            CloseHandle(Release());
            return;
        }
        // A reader passes the turnstile; a replacement holds it until done.
        if (!replacing) {
            OVERLAPPED range{};
            range.Offset = Turnstile;
            UnlockFileEx(m_handle, 0, 1, 0, &range);
        }
    }
    ~ReadersByte()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    ReadersByte(const ReadersByte&) = delete;
    ReadersByte& operator=(const ReadersByte&) = delete;
    // Closing the handle lets its bytes go.
    HANDLE Release() { return std::exchange(m_handle, INVALID_HANDLE_VALUE); }
    HANDLE Handle() const { return m_handle; }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
};

// Whether another program's handle keeps `name` from being replaced, as
// opposed to a lack of rights.
bool HeldOpen(const std::wstring& name)
{
    HANDLE probe = CreateFileW(name.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(probe);
    return false;
}

// The SID of the process's user; null if it cannot be told.
PSID ProcessUser()
{
    static const std::vector<char> information = [] {
        std::vector<char> user;
        HANDLE token = nullptr;
        if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
            DWORD size = 0;
            GetTokenInformation(token, TokenUser, nullptr, 0, &size);
            user.resize(size);
            if (!GetTokenInformation(token, TokenUser, user.data(), size, &size))
                user.clear();
            CloseHandle(token);
        }
        return user;
    }();
    return information.empty() ? nullptr : reinterpret_cast<const TOKEN_USER*>(information.data())->User.Sid;
}

// New files hold passwords: they are for their owner (and SYSTEM) only,
// whatever the folder would hand down. Null if the user cannot be told.
PSECURITY_DESCRIPTOR PrivateSecurity()
{
    static const PSECURITY_DESCRIPTOR descriptor = []() -> PSECURITY_DESCRIPTOR {
        wchar_t* sid = nullptr;
        if (!ProcessUser() || !ConvertSidToStringSidW(ProcessUser(), &sid))
            return nullptr;
        // Read, write, delete and own; no right to run it, which Wine would
        // also turn into execute bits.
        const std::wstring rights = L"FRFWSDWDWO";
        const std::wstring text = L"D:P(A;;" + rights + L";;;SY)(A;;" + rights + L";;;" + std::wstring(sid) + L")";
        LocalFree(sid);
        PSECURITY_DESCRIPTOR made = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1, &made, nullptr))
            return nullptr;
        return made;  // kept for the life of the process
    }();
    return descriptor;
}

// Wine's own system library names its version; Windows' has no such entry.
bool RunsUnderWine()
{
    static const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

// Whether the process acts as the SID: its user, or a group it is in such
// as the administrators, who own what an elevated program makes.
bool IsProcessOwner(PSID owner)
{
    if (!owner)
        return false;
    if (ProcessUser() && EqualSid(owner, ProcessUser()))
        return true;
    BOOL member = FALSE;
    return CheckTokenMembership(nullptr, owner, &member) && member;
}

// A replacement takes the replaced file's place whole: its security and its
// hidden and system attributes, as it keeps the file's mode elsewhere. They
// go to the copy through its handle, never to whatever its name leads to.
DWORD TakeOnPlaceOf(HANDLE copy, const std::wstring& target)
{
    const DWORD kept = GetFileAttributesW(target.c_str());
    if (kept == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ERROR_SUCCESS : error;
    }
    // Wine keeps an access list as Unix mode bits, reads it back without the
    // group's and writes it back wider (0644 became 0775): there the copy
    // keeps the private list it was made with.
    if (!RunsUnderWine()) {
        DWORD size = 0;
        GetFileSecurityW(target.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
        std::vector<char> security(size);
        if (!GetFileSecurityW(target.c_str(), DACL_SECURITY_INFORMATION, security.data(), size, &size)
            || !SetKernelObjectSecurity(copy, DACL_SECURITY_INFORMATION, security.data()))
            return GetLastError();
    }
    const DWORD hiding = kept & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    FILE_BASIC_INFO basic{};
    if (!hiding)
        return ERROR_SUCCESS;
    if (!GetFileInformationByHandleEx(copy, FileBasicInfo, &basic, sizeof(basic)))
        return GetLastError();
    basic = FILE_BASIC_INFO{{}, {}, {}, {}, (basic.FileAttributes & ~FILE_ATTRIBUTE_NORMAL) | hiding};
    if (!SetFileInformationByHandle(copy, FileBasicInfo, &basic, sizeof(basic)))
        return GetLastError();
    return ERROR_SUCCESS;
}

bool StillNamed(const std::wstring& name, const BY_HANDLE_FILE_INFORMATION& file)
{
    HANDLE handle = CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION now{};
    const bool same = GetFileInformationByHandle(handle, &now) && now.nNumberOfLinks > 0
                      && now.dwVolumeSerialNumber == file.dwVolumeSerialNumber
                      && now.nFileIndexHigh == file.nFileIndexHigh && now.nFileIndexLow == file.nFileIndexLow;
    CloseHandle(handle);
    return same;
}

FileError LinkRefused(std::string action, std::string name)
{
    return FileError(FileFault::Other, std::move(action), std::move(name), "it is a symbolic link");
}

// Windows has no owner ids: a file of this process's user is 1, as is the
// process (ProcessOwner), and any other owner 2. Under Wine, a file of
// another Unix user reads as owned by an anonymous account, so it is 2 too.
constexpr unsigned ThisUser = 1;
constexpr unsigned AnotherUser = 2;

struct Ownership {
    unsigned owner = AnotherUser;
    bool everyoneReads = false;
};

// Whether an entry lets any user of the machine read: Everyone, Authenticated
// Users or Users (Wine reads Unix "other" bits back as Everyone).
bool LetsEveryoneRead(const ACL* list)
{
    if (!list)
        return true;  // no access list at all lets everyone in
    for (DWORD i = 0; i < list->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(const_cast<ACL*>(list), i, &entry))
            continue;
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE
            || !(allowed->Mask & (FILE_READ_DATA | GENERIC_READ | GENERIC_ALL)))
            continue;
        auto* sid = const_cast<DWORD*>(&allowed->SidStart);
        if (IsWellKnownSid(sid, WinWorldSid) || IsWellKnownSid(sid, WinAuthenticatedUserSid)
            || IsWellKnownSid(sid, WinBuiltinUsersSid))
            return true;
    }
    return false;
}

Ownership OwnershipOf(HANDLE handle)
{
    PSID owner = nullptr;
    ACL* list = nullptr;
    PSECURITY_DESCRIPTOR security = nullptr;
    if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                        nullptr, &list, nullptr, &security)
        != ERROR_SUCCESS)
        return {};  // an owner may always read a file's security
    const Ownership ownership{IsProcessOwner(owner) ? ThisUser : AnotherUser, LetsEveryoneRead(list)};
    LocalFree(security);
    return ownership;
}

FileInfo InfoOf(const BY_HANDLE_FILE_INFORMATION& information, const Ownership& ownership)
{
    const DWORD attributes = information.dwFileAttributes;
    const std::uint64_t size = (static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    FileInfo info;
    info.exists = true;
    info.symlink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    info.regular = !info.symlink && !(attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_DEVICE);
    info.writable = info.regular && !(attributes & FILE_ATTRIBUTE_READONLY);
    // Windows has one permission bit, read-only; the modes stand for it, and
    // for whether every user may read.
    info.mode = ((attributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0644) & (ownership.everyoneReads ? 0777 : 0770);
    info.size = size;
    info.links = information.nNumberOfLinks;
    info.volume = information.dwVolumeSerialNumber;
    info.index = (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    info.owner = ownership.owner;
    return info;
}

// A link that Wine followed: what it leads to is not the file at the name.
FileInfo LinkInfo(const BY_HANDLE_FILE_INFORMATION& reached = {})
{
    FileInfo info = InfoOf(reached, Ownership{});
    info.symlink = true;
    info.regular = false;
    info.writable = false;
    return info;
}

} // namespace

FileHandle Win32FileSystem::Add(Entry entry)
{
    std::lock_guard guard(m_mutex);
    const FileHandle file = m_next++;
    m_entries.emplace(file, entry);
    return file;
}

bool Win32FileSystem::HoldsChangeLock()
{
    std::lock_guard guard(m_mutex);
    return std::any_of(m_entries.begin(), m_entries.end(), [](const auto& entry) { return entry.second.changeLock; });
}

Win32FileSystem::Entry* Win32FileSystem::Find(FileHandle file)
{
    std::lock_guard guard(m_mutex);
    const auto found = m_entries.find(file);
    return found == m_entries.end() ? nullptr : &found->second;
}

FileResult<FileHandle> Win32FileSystem::Open(const std::string& name, OpenMode mode)
{
    DWORD access = GENERIC_WRITE;
    // Readers let others read, write and replace the file: a rewrite must
    // never be kept from its rename by a copy of the program reading it.
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    DWORD disposition = OPEN_EXISTING;
    DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
    switch (mode) {
    case OpenMode::Read:
        access = GENERIC_READ;
        flags = FILE_ATTRIBUTE_NORMAL;
        break;
    case OpenMode::CreateOrKeep:
        disposition = OPEN_ALWAYS;
        break;
    case OpenMode::CreateNew:
        access = GENERIC_READ | GENERIC_WRITE;
        disposition = CREATE_NEW;
        break;
    case OpenMode::Existing:
        access = GENERIC_READ | GENERIC_WRITE;
        break;
    case OpenMode::Folder:
        // Flushing a folder wants a handle that may write it.
        access = GENERIC_READ | GENERIC_WRITE;
        flags = FILE_FLAG_BACKUP_SEMANTICS;
        break;
    case OpenMode::Lock:
        access = GENERIC_READ | GENERIC_WRITE;
        disposition = OPEN_ALWAYS;
        break;
    }
    const std::wstring wide = WideOf(name);
    // Under this process's own change lock no other copy can replace the
    // file, so a read then (the change's own) waits for no one's bytes.
    std::optional<ReadersByte> reading;
    if (mode == OpenMode::Read && !HoldsChangeLock())
        reading.emplace(name, 0);
    // The lock file holds nothing, and must open for whoever shares the folder.
    const bool creates = mode == OpenMode::CreateOrKeep || mode == OpenMode::CreateNew;
    SECURITY_ATTRIBUTES security{sizeof(security), nullptr, FALSE};
    if (creates && !(security.lpSecurityDescriptor = PrivateSecurity()))
        return LastError("created", name);
    HANDLE handle = INVALID_HANDLE_VALUE;
    bool existed = true;
    const DWORD error = WhileBusy(
        [&] {
            if (disposition != OPEN_ALWAYS) {
                handle = CreateFileW(wide.c_str(), access, share, &security, disposition, flags, nullptr);
                existed = disposition == OPEN_EXISTING;
                return handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
            }
            // Made new only where no name stands: through a dangling link,
            // Wine would make the file it leads to and say it existed.
            handle = CreateFileW(wide.c_str(), access, share, &security, CREATE_NEW, flags, nullptr);
            existed = handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS;
            if (existed)
                handle = CreateFileW(wide.c_str(), access, share, &security, OPEN_EXISTING, flags, nullptr);
            return handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
        },
        IsSharingViolation);
    // A folder one may not write is opened all the same: there is nothing to flush then.
    if (handle == INVALID_HANDLE_VALUE && mode == OpenMode::Folder && error == ERROR_ACCESS_DENIED)
        handle = CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        if (error == ERROR_FILE_NOT_FOUND && flags & FILE_FLAG_OPEN_REPARSE_POINT && LeadsNowhere(wide))
            return LinkRefused("opened", name);
        const bool named = GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
        return ErrorOf(error, creates && (!named || mode == OpenMode::CreateNew) ? "created" : "opened", name);
    }
    // Closes the handle, and removes the file first where `remove`.
    const auto letGo = [&](bool remove) {
        if (remove) {
            HANDLE made = ReOpenFile(handle, DELETE, share, 0);
            if (made != INVALID_HANDLE_VALUE) {
                RemoveThrough(made);
                CloseHandle(made);
            }
        }
        CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    };
    try {
        // Wine follows a Unix link even so, and creates what a dangling one
        // leads to: that file goes again, and the link is refused.
        if (flags & FILE_FLAG_OPEN_REPARSE_POINT && LeadsElsewhere(handle, wide)) {
            letGo(!existed);
            return LinkRefused(existed ? "opened" : "created", name);
        }
        // A folder opened as a file, or a device: neither holds accounts.
        if (mode != OpenMode::Folder) {
            BY_HANDLE_FILE_INFORMATION information{};
            if (GetFileInformationByHandle(handle, &information)
                && (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                letGo(false);
                return ErrorOf(ERROR_DIRECTORY, "opened", name);
            }
        }
        // A FIFO at the lock's name: Wine opens it, then cannot examine it.
        if (mode == OpenMode::Lock && GetFileType(handle) != FILE_TYPE_DISK) {
            letGo(false);
            return FileError(FileFault::Other, "opened", name, "it is not a regular file");
        }
        const HANDLE readers = reading ? reading->Handle() : INVALID_HANDLE_VALUE;
        const FileHandle file = Add(Entry{handle, mode == OpenMode::Folder, readers == INVALID_HANDLE_VALUE ? nullptr : readers});
        // The entry holds the readers' byte now; until then a failure lets it go.
        if (reading)
            reading->Release();
        return file;
    } catch (const std::bad_alloc&) {
        // Out of memory: what this call made goes again, and no handle stays open.
        if (handle != INVALID_HANDLE_VALUE)
            letGo(!existed);
        throw;
    }
}

FileResult<std::size_t> Win32FileSystem::Read(FileHandle file, char* buffer, std::size_t size)
{
    Entry* entry = Find(file);
    if (!entry)
        return ErrorOf(ERROR_INVALID_HANDLE, "read");
    DWORD count = 0;
    const DWORD wanted = static_cast<DWORD>(size > 0x40000000 ? 0x40000000 : size);
    if (!ReadFile(entry->handle, buffer, wanted, &count, nullptr))
        return LastError("read");
    return static_cast<std::size_t>(count);
}

// Like pread: the file's own position stays where it was.
FileResult<std::size_t> Win32FileSystem::ReadAt(FileHandle file, std::uint64_t offset, char* buffer, std::size_t size)
{
    Entry* entry = Find(file);
    if (!entry)
        return ErrorOf(ERROR_INVALID_HANDLE, "read");
    LARGE_INTEGER position{};
    if (!SetFilePointerEx(entry->handle, LARGE_INTEGER{}, &position, FILE_CURRENT))
        return LastError("read");
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD count = 0;
    const DWORD wanted = static_cast<DWORD>(size > 0x40000000 ? 0x40000000 : size);
    const BOOL read = ReadFile(entry->handle, buffer, wanted, &count, &at);
    const DWORD error = read ? ERROR_SUCCESS : GetLastError();
    SetFilePointerEx(entry->handle, position, nullptr, FILE_BEGIN);
    if (!read && error != ERROR_HANDLE_EOF)
        return ErrorOf(error, "read");
    return static_cast<std::size_t>(count);
}

// Like ftruncate: the file's own position stays where it was.
FileStatus Win32FileSystem::Truncate(FileHandle file, std::uint64_t size)
{
    Entry* entry = Find(file);
    if (!entry)
        return ErrorOf(ERROR_INVALID_HANDLE, "cut back");
    LARGE_INTEGER position{};
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(entry->handle, LARGE_INTEGER{}, &position, FILE_CURRENT)
        || !SetFilePointerEx(entry->handle, end, nullptr, FILE_BEGIN))
        return LastError("cut back");
    const BOOL cut = SetEndOfFile(entry->handle);
    const DWORD error = cut ? ERROR_SUCCESS : GetLastError();
    SetFilePointerEx(entry->handle, position, nullptr, FILE_BEGIN);
    if (!cut)
        return ErrorOf(error, "cut back");
    return {};
}

FileStatus Win32FileSystem::Write(FileHandle file, const char* data, std::size_t size)
{
    Entry* entry = Find(file);
    if (!entry)
        return ErrorOf(ERROR_INVALID_HANDLE, "written");
    while (size > 0) {
        DWORD count = 0;
        const DWORD wanted = static_cast<DWORD>(size > 0x40000000 ? 0x40000000 : size);
        if (!WriteFile(entry->handle, data, wanted, &count, nullptr))
            return LastError("written");
        if (count == 0)
            return TookNothing();
        data += count;
        size -= count;
    }
    return {};
}

FileStatus Win32FileSystem::WriteAt(FileHandle file, std::uint64_t offset, const char* data, std::size_t size)
{
    Entry* entry = Find(file);
    if (!entry)
        return ErrorOf(ERROR_INVALID_HANDLE, "written");
    LARGE_INTEGER position{};
    if (!SetFilePointerEx(entry->handle, LARGE_INTEGER{}, &position, FILE_CURRENT))
        return LastError("written");
    DWORD error = ERROR_SUCCESS;
    bool tookNothing = false;
    while (size > 0 && error == ERROR_SUCCESS && !tookNothing) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD count = 0;
        const DWORD wanted = static_cast<DWORD>(size > 0x40000000 ? 0x40000000 : size);
        if (!WriteFile(entry->handle, data, wanted, &count, &at))
            error = GetLastError();
        else if (count == 0)
            tookNothing = true;
        data += count;
        size -= count;
        offset += count;
    }
    SetFilePointerEx(entry->handle, position, nullptr, FILE_BEGIN);
    if (tookNothing)
        return TookNothing();
    if (error != ERROR_SUCCESS)
        return ErrorOf(error, "written");
    return {};
}

FileStatus Win32FileSystem::CopyRange(FileHandle from, std::uint64_t offset, FileHandle to, std::uint64_t size)
{
    return CopyThroughMemory(*this, from, offset, to, size);
}

FileStatus Win32FileSystem::SeekToEnd(FileHandle file)
{
    Entry* entry = Find(file);
    if (!entry)
        return ErrorOf(ERROR_INVALID_HANDLE, "positioned");
    if (!SetFilePointerEx(entry->handle, LARGE_INTEGER{}, nullptr, FILE_END))
        return LastError("positioned");
    return {};
}

// Both offsets all ones: at the end as the file is when the write happens,
// as through a handle opened only to append.
// Windows writes at the end in one step; Wine looks the end up, then writes
// there, whatever the handle's access (a handle for appending only included).
EndWrite Win32FileSystem::HowEndIsWritten() const
{
    return RunsUnderWine() ? EndWrite::LookedUpFirst : EndWrite::OneStep;
}

FileResult<std::uint64_t> Win32FileSystem::WriteAtEnd(FileHandle file, const char* data, std::size_t size)
{
    Entry* entry = Find(file);
    if (!entry)
        return ErrorOf(ERROR_INVALID_HANDLE, "written");
    std::optional<std::uint64_t> landed;
    while (size > 0) {
        OVERLAPPED atEnd{};
        atEnd.Offset = 0xFFFFFFFF;
        atEnd.OffsetHigh = 0xFFFFFFFF;
        DWORD count = 0;
        const DWORD wanted = static_cast<DWORD>(size > 0x40000000 ? 0x40000000 : size);
        if (!WriteFile(entry->handle, data, wanted, &count, &atEnd))
            return LastError("written");
        if (count == 0)
            return TookNothing();
        // The position follows the bytes just written.
        LARGE_INTEGER position{};
        if (!SetFilePointerEx(entry->handle, LARGE_INTEGER{}, &position, FILE_CURRENT))
            return LastError("written");
        if (!landed)
            landed = static_cast<std::uint64_t>(position.QuadPart) - count;
        data += count;
        size -= count;
    }
    return landed.value_or(0);
}

// A folder is flushed too: the write-through of a rename does not reach the
// folder everywhere (under Wine it stops short of the folder's entry). File
// systems that cannot flush a folder write its entries through themselves.
FileStatus Win32FileSystem::Sync(FileHandle file)
{
    Entry* entry = Find(file);
    if (!entry)
        return ErrorOf(ERROR_INVALID_HANDLE, "saved to disk");
    if (FlushFileBuffers(entry->handle))
        return {};
    const DWORD error = GetLastError();
    if (entry->folder && (error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED || error == ERROR_ACCESS_DENIED
                          || error == ERROR_INVALID_PARAMETER))
        return {};
    return ErrorOf(error, "saved to disk");
}

FileStatus Win32FileSystem::Close(FileHandle file)
{
    Entry entry;
    {
        std::lock_guard guard(m_mutex);
        const auto found = m_entries.find(file);
        if (found == m_entries.end())
            return ErrorOf(ERROR_INVALID_HANDLE, "closed");
        entry = found->second;
        m_entries.erase(found);
    }
    if (entry.readers)
        CloseHandle(entry.readers);
    if (!CloseHandle(entry.handle))
        return LastError("closed");
    return {};
}

// One step that replaces `to`, written through to the disk before it returns.
// It goes through one handle to the source, opened without following a link
// and checked to be no link under Wine, so that every try renames that file.
// Windows does not replace a file that another program holds open, not even
// one that shares its removal: that is waited for, and told apart from a lack
// of rights when patience runs out.
FileStatus Win32FileSystem::Rename(const std::string& from, const std::string& to, RenameMode mode)
{
    const std::wstring source = WideOf(from);
    const std::wstring target = WideOf(to);
    const bool replace = mode == RenameMode::Replace;
    const DWORD access = DELETE | FILE_READ_ATTRIBUTES | (replace ? WRITE_DAC | FILE_WRITE_ATTRIBUTES : 0);
    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD error = WhileBusy(
        [&] {
            handle = CreateFileW(source.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_WRITE_THROUGH,
                                 nullptr);
            return handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
        },
        IsSharingViolation);
    if (handle == INVALID_HANDLE_VALUE)
        return ErrorOf(error, "renamed to " + to, from);
    ClosedOnExit closed(handle);
    if (LeadsElsewhere(handle, source)) {
        closed.Close();
        return LinkRefused("renamed to " + to, from);
    }
    if (replace && (error = TakeOnPlaceOf(handle, target)) != ERROR_SUCCESS) {
        closed.Close();
        return ErrorOf(error, "given the security of " + to, from);
    }
    std::optional<ReadersByte> alone;
    if (replace)
        alone.emplace(to, LOCKFILE_EXCLUSIVE_LOCK);
    // Windows says "access denied" for both. A holder may let go before it is
    // seen, so a lack of rights is only concluded after a short while.
    const auto start = std::chrono::steady_clock::now();
    bool seenHeld = false;
    const auto held = [&](DWORD error) {
        if (IsSharingViolation(error))
            return seenHeld = true;
        if (error != ERROR_ACCESS_DENIED)
            return false;
        seenHeld = seenHeld || HeldOpen(target);
        return seenHeld || std::chrono::steady_clock::now() - start < RightsVerdict;
    };
    error = WhileBusy([&] { return RenameThrough(handle, target, replace); }, held);
    closed.Close();
    if (error == ERROR_SUCCESS)
        return {};
    if (seenHeld)
        return FileError(FileFault::Other, "renamed to " + to, from, "another program kept " + to + " open");
    return ErrorOf(error, "renamed to " + to, from);
}

// Like unlink, which a read-only file does not stop: the attribute is
// cleared first, and put back if the file stays. A link is removed, never
// what it leads to; a folder is not removed.
FileStatus Win32FileSystem::Remove(const std::string& name)
{
    const std::wstring wide = WideOf(name);
    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD error = WhileBusy(
        [&] {
            handle = CreateFileW(wide.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
            return handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
        },
        IsSharingViolation);
    if (handle == INVALID_HANDLE_VALUE) {
        if (error == ERROR_FILE_NOT_FOUND && LeadsNowhere(wide))
            error = RemoveLinkItself(wide);
        return error == ERROR_SUCCESS ? FileStatus{} : ErrorOf(error, "removed", name);
    }
    ClosedOnExit closed(handle);
    if (LeadsElsewhere(handle, wide)) {
        closed.Close();
        error = RemoveLinkItself(wide);
        return error == ERROR_SUCCESS ? FileStatus{} : ErrorOf(error, "removed", name);
    }
    FILE_BASIC_INFO basic{};
    error = RemoveThrough(handle);
    // Wine reopens a handle by the file's name, which a link swapped in
    // could lead elsewhere: there a read-only file is left to its owner.
    if (error == ERROR_ACCESS_DENIED && !RunsUnderWine()
        && GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof(basic))
        && (basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) {
        HANDLE attributes = ReOpenFile(handle, FILE_WRITE_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
        const DWORD kept = basic.FileAttributes;
        const DWORD writable = kept & ~FILE_ATTRIBUTE_READONLY;
        const auto setAttributes = [&](DWORD value) {
            FILE_BASIC_INFO changed{{}, {}, {}, {}, value ? value : FILE_ATTRIBUTE_NORMAL};
            return attributes != INVALID_HANDLE_VALUE
                   && SetFileInformationByHandle(attributes, FileBasicInfo, &changed, sizeof(changed));
        };
        if (setAttributes(writable)) {
            error = RemoveThrough(handle);
            if (error != ERROR_SUCCESS)
                setAttributes(kept);
        }
        if (attributes != INVALID_HANDLE_VALUE)
            CloseHandle(attributes);
    }
    BY_HANDLE_FILE_INFORMATION removed{};
    const bool known = GetFileInformationByHandle(handle, &removed);
    closed.Close();
    if (error != ERROR_SUCCESS)
        return ErrorOf(error, "removed", name);
    // Wine removes the file as the last handle closes and says nothing if the
    // system refuses then (a sticky folder): a file still there is told.
    if (known && StillNamed(wide, removed))
        return ErrorOf(ERROR_ACCESS_DENIED, "removed", name);
    return {};
}

FileResult<FileInfo> Win32FileSystem::Examine(const std::string& name)
{
    // Opened to read its security only, which no sharing mode of another
    // holder stands in the way of; a file that denies even that is opened
    // for nothing, and is not this user's.
    const std::wstring wide = WideOf(name);
    const auto open = [&wide](DWORD access) {
        return CreateFileW(wide.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    };
    HANDLE handle = open(READ_CONTROL);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
        handle = open(0);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND && LeadsNowhere(wide))
            return LinkInfo();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return FileInfo{};
        return ErrorOf(error, "examined", name);
    }
    ClosedOnExit closed(handle);
    BY_HANDLE_FILE_INFORMATION information{};
    const BOOL examined = GetFileInformationByHandle(handle, &information);
    const DWORD error = examined ? ERROR_SUCCESS : GetLastError();
    const bool followed = examined && LeadsElsewhere(handle, wide);
    const Ownership ownership = examined ? OwnershipOf(handle) : Ownership{};
    closed.Close();
    if (!examined)
        return ErrorOf(error, "examined", name);
    if (followed)
        return LinkInfo(information);
    return InfoOf(information, ownership);
}

FileResult<FileInfo> Win32FileSystem::Examine(FileHandle file)
{
    Entry* entry = Find(file);
    BY_HANDLE_FILE_INFORMATION information{};
    if (!entry)
        return ErrorOf(ERROR_INVALID_HANDLE, "examined");
    if (!GetFileInformationByHandle(entry->handle, &information))
        return LastError("examined");
    FileInfo info = InfoOf(information, OwnershipOf(entry->handle));
    // Through an open handle the question is what the file is, not who may write it.
    info.writable = info.regular;
    return info;
}

// Only the write bits mean something on Windows: without them, read-only.
FileStatus Win32FileSystem::SetMode(FileHandle file, unsigned mode)
{
    Entry* entry = Find(file);
    FILE_BASIC_INFO basic{};
    if (!entry)
        return ErrorOf(ERROR_INVALID_HANDLE, "given its permissions");
    if (!GetFileInformationByHandleEx(entry->handle, FileBasicInfo, &basic, sizeof(basic)))
        return LastError("given its permissions");
    DWORD attributes = basic.FileAttributes & ~FILE_ATTRIBUTE_NORMAL;
    attributes = (mode & 0222) ? attributes & ~FILE_ATTRIBUTE_READONLY : attributes | FILE_ATTRIBUTE_READONLY;
    basic.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(entry->handle, FileBasicInfo, &basic, sizeof(basic)))
        return LastError("given its permissions");
    return {};
}

// Windows has no owner ids to hand on; a file's security is its own matter.
FileStatus Win32FileSystem::SetOwner(FileHandle, unsigned, unsigned)
{
    return {};
}

// The replace hands the old file's security to the new one (TakeOnPlaceOf).
FileResult<bool> Win32FileSystem::TakeAccessList(const std::string&, FileHandle)
{
    return false;
}

unsigned Win32FileSystem::ProcessOwner() const
{
    return ThisUser;
}

bool Win32FileSystem::IsMember(unsigned, unsigned) const
{
    return true;
}

std::string Win32FileSystem::UserName(unsigned user) const
{
    return user == ThisUser ? "this user" : "another user";
}

// The lock keeps the folder's usual permissions here: who may open it is the
// folder's to say, not the bits this file system shows.
bool Win32FileSystem::OpenBeyondWriters(FileHandle, const FileInfo&, const std::string&, const FileInfo&) const
{
    return false;
}

FileResult<bool> Win32FileSystem::LetInWritersOf(const std::string&, FileHandle, unsigned)
{
    return false;
}

// A byte-range lock, which the file system enforces between processes,
// sessions and the machines that share a folder; it dies with its holder.
FileResult<bool> Win32FileSystem::TryLock(FileHandle file)
{
    Entry* entry = Find(file);
    if (!entry)
        return ErrorOf(ERROR_INVALID_HANDLE, "locked");
    OVERLAPPED range{};
    if (LockFileEx(entry->handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &range)) {
        std::lock_guard guard(m_mutex);
        entry->changeLock = true;
        return true;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING)
        return false;
    return ErrorOf(error, "locked");
}

FileSystem& SystemFileSystem()
{
    static Win32FileSystem system;
    return system;
}

} // namespace files
