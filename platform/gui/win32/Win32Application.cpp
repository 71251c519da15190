#include "platform/gui/WinApp.h"
#include "platform/gui/Unicode.h"

#include <vector>

#include "platform/gui/win32/Win32.h"

int RunApplication(int, char**)
{
    return CWinApp::RunInstance();
}

int CWinThread::Run()
{
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return ExitInstance();
}

std::u16string CWinApp::Title() const
{
    std::vector<wchar_t> path(MAX_PATH);
    DWORD length = 0;
    while ((length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) == path.size())
        path.resize(path.size() * 2);
    std::u16string name = U16Of(path.data(), length);
    name = name.substr(name.find_last_of(u"\\/") + 1);
    if (const auto dot = name.find_last_of(u'.'); dot != std::u16string::npos && dot > 0)
        name.resize(dot);
    return name;
}

// The key is only remembered: the program reads and writes no settings.
void CWinApp::SetRegistryKey(std::u16string_view company)
{
    m_registryKey = company;
}
