// What tests/wine/installer cannot see from Unix:
//   installer_probe shortcut LINK                  prints the shortcut as the Start menu reads it
//   installer_probe create-account PROGRAM FOLDER  starts PROGRAM in FOLDER and creates
//                                                  the account ann through its dialogs
#include "res/ResourceIds.h"

#include <cstdio>
#include <cwchar>
#include <string>

#include <windows.h>
#include <shlobj.h>

namespace {

void PrintLine(const char* name, const std::wstring& value)
{
    std::string text(WideCharToMultiByte(CP_UTF8, 0, value.c_str(), -1, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, value.c_str(), -1, text.data(), static_cast<int>(text.size()), nullptr, nullptr);
    std::printf("%s=%s\n", name, text.c_str());
}

int PrintShortcut(const wchar_t* link)
{
    CoInitialize(nullptr);
    IShellLinkW* shortcut = nullptr;
    IPersistFile* file = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shortcut)))
        || FAILED(shortcut->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))
        || FAILED(file->Load(link, STGM_READ))) {
        std::fprintf(stderr, "The shortcut cannot be read.\n");
        return 1;
    }
    wchar_t text[MAX_PATH] = {};
    int icon = 0;
    shortcut->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
    PrintLine("target", text);
    shortcut->GetWorkingDirectory(text, MAX_PATH);
    PrintLine("folder", text);
    shortcut->GetIconLocation(text, MAX_PATH, &icon);
    PrintLine("icon", text + std::wstring(L",") + std::to_wstring(icon));
    shortcut->GetDescription(text, MAX_PATH);
    PrintLine("description", text);
    return 0;
}

// The process's top-level window of that title, waited for up to 20 s.
HWND WaitForWindow(DWORD process, const wchar_t* title)
{
    struct Search {
        DWORD process;
        const wchar_t* title;
        HWND found;
    } search{process, title, nullptr};
    for (int attempt = 0; attempt < 200 && !search.found; ++attempt) {
        EnumWindows([](HWND window, LPARAM parameter) -> BOOL {
            auto& search = *reinterpret_cast<Search*>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t text[64] = {};
            GetWindowTextW(window, text, 64);
            if (owner != search.process || std::wcscmp(text, search.title) != 0)
                return TRUE;
            search.found = window;
            return FALSE;
        }, reinterpret_cast<LPARAM>(&search));
        if (!search.found)
            Sleep(100);
    }
    return search.found;
}

int CreateAccount(const wchar_t* program, const wchar_t* folder)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    std::wstring commandLine = L"\"" + std::wstring(program) + L"\"";
    if (!CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder, &startup, &started)) {
        std::fprintf(stderr, "The program does not start: error %lu.\n", GetLastError());
        return 1;
    }
    const char* missing = "its main window";
    if (const HWND main = WaitForWindow(started.dwProcessId, L"Quillmark")) {
        PostMessageW(main, WM_COMMAND, ID_FILE_CREATEUSER, 0);
        missing = "the Create User dialog";
        if (const HWND dialog = WaitForWindow(started.dwProcessId, L"Create User")) {
            SetDlgItemTextW(dialog, IDC_USERNAME, L"ann");
            SetDlgItemTextW(dialog, IDC_PASSWORD, L"pass word");
            SetDlgItemTextW(dialog, IDC_CONFIRMPASSWORD, L"pass word");
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            missing = WaitForWindow(started.dwProcessId, L"Successful") ? nullptr : "the message that ann was created";
        }
    }
    TerminateProcess(started.hProcess, 0);
    WaitForSingleObject(started.hProcess, INFINITE);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    if (missing)
        std::fprintf(stderr, "The program never showed %s.\n", missing);
    return missing ? 1 : 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 3 && std::wcscmp(argv[1], L"shortcut") == 0)
        return PrintShortcut(argv[2]);
    if (argc == 4 && std::wcscmp(argv[1], L"create-account") == 0)
        return CreateAccount(argv[2], argv[3]);
    std::fprintf(stderr, "usage: installer_probe shortcut LINK | create-account PROGRAM FOLDER\n");
    return 2;
}
