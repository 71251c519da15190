#include "platform/files/win32/Win32FileSystem.h"

#include "platform/files/win32/HandleCalls.h"
#include "platform/files/win32/Security.h"
#include "platform/files/win32/SystemErrors.h"
#include "platform/files/win32/UnixLinks.h"
#include "platform/files/win32/WideText.h"

#include <windows.h>

#include <aclapi.h>

namespace files {
namespace {

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

} // namespace files
