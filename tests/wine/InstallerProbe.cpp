// What tests/wine/installer cannot see from Unix, in a Wine prefix where
// nothing else runs:
//   installer_probe shortcut LINK                  prints the shortcut as the Start menu reads it
//   installer_probe create-account PROGRAM FOLDER  starts PROGRAM in FOLDER and creates
//                                                  the account ann through its dialogs
//   installer_probe run COMMAND [PROGRAM FOLDER]   runs the command line as a deployment
//                                                  script would, while PROGRAM runs in FOLDER
//                                                  if given, and ends with its status
#include "res/ResourceIds.h"

#include <cstdio>
#include <cwchar>
#include <string>

#include <windows.h>
#include <shlobj.h>

namespace {

int PrintShortcut(const wchar_t* link)
{
    CoInitialize(nullptr);
    IShellLinkW* shortcut = nullptr;
    IPersistFile* file = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shortcut)))
        || FAILED(shortcut->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))
        || FAILED(file->Load(link, STGM_READ)))
        return 1;
    wchar_t text[MAX_PATH] = {};
    int icon = 0;
    shortcut->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
    std::printf("target=%ls\n", text);
    shortcut->GetWorkingDirectory(text, MAX_PATH);
    std::printf("folder=%ls\n", text);
    shortcut->GetIconLocation(text, MAX_PATH, &icon);
    std::printf("icon=%ls,%d\n", text, icon);
    shortcut->GetDescription(text, MAX_PATH);
    std::printf("description=%ls\n", text);
    return 0;
}

// A dialog or message box of that title, waited for up to 20 s.
HWND WaitForDialog(const wchar_t* title)
{
    for (int attempt = 0; attempt < 200; ++attempt, Sleep(100))
        if (const HWND dialog = FindWindowW(L"#32770", title))
            return dialog;
    std::fprintf(stderr, "The program never showed \"%ls\".\n", title);
    return nullptr;
}

bool Start(std::wstring commandLine, const wchar_t* folder, PROCESS_INFORMATION& started)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    return CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder, &startup, &started);
}

void End(const PROCESS_INFORMATION& started)
{
    TerminateProcess(started.hProcess, 0);
    WaitForSingleObject(started.hProcess, INFINITE);
}

int Run(const wchar_t* commandLine)
{
    PROCESS_INFORMATION started{};
    DWORD status = 1;
    if (!Start(commandLine, nullptr, started))
        return 1;
    WaitForSingleObject(started.hProcess, INFINITE);
    GetExitCodeProcess(started.hProcess, &status);
    return static_cast<int>(status);
}

int RunBeside(const wchar_t* commandLine, const wchar_t* program, const wchar_t* folder)
{
    PROCESS_INFORMATION started{};
    if (!Start(L"\"" + std::wstring(program) + L"\"", folder, started))
        return 1;
    const int status = WaitForDialog(L"Quillmark") ? Run(commandLine) : 1;
    End(started);
    return status;
}

int CreateAccount(const wchar_t* program, const wchar_t* folder)
{
    PROCESS_INFORMATION started{};
    if (!Start(L"\"" + std::wstring(program) + L"\"", folder, started))
        return 1;
    bool created = false;
    if (const HWND main = WaitForDialog(L"Quillmark")) {
        PostMessageW(main, WM_COMMAND, ID_FILE_CREATEUSER, 0);
        if (const HWND dialog = WaitForDialog(L"Create User")) {
            SetDlgItemTextW(dialog, IDC_USERNAME, L"ann");
            SetDlgItemTextW(dialog, IDC_PASSWORD, L"pass word");
            SetDlgItemTextW(dialog, IDC_CONFIRMPASSWORD, L"pass word");
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            created = WaitForDialog(L"Successful") != nullptr;
        }
    }
    End(started);
    return created ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 3 && std::wcscmp(argv[1], L"shortcut") == 0)
        return PrintShortcut(argv[2]);
    if (argc == 4 && std::wcscmp(argv[1], L"create-account") == 0)
        return CreateAccount(argv[2], argv[3]);
    if (argc == 3 && std::wcscmp(argv[1], L"run") == 0)
        return Run(argv[2]);
    if (argc == 5 && std::wcscmp(argv[1], L"run") == 0)
        return RunBeside(argv[2], argv[3], argv[4]);
    return 2;
}
