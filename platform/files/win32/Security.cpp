#include "platform/files/win32/Security.h"

#include <string>
#include <vector>

#include <sddl.h>

namespace files {
namespace {

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

} // namespace

// New files hold passwords: they are for their owner (and SYSTEM) only,
// whatever the folder would hand down.
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

// Groups count too, such as the administrators, who own what an elevated program makes.
bool IsProcessOwner(PSID owner)
{
    if (!owner)
        return false;
    if (ProcessUser() && EqualSid(owner, ProcessUser()))
        return true;
    BOOL member = FALSE;
    return CheckTokenMembership(nullptr, owner, &member) && member;
}

} // namespace files
