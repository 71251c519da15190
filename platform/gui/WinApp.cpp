#include "platform/gui/WinApp.h"

#include "platform/gui/SystemNumbers.h"
#include "platform/gui/Window.h"

#include <cstdio>

const MessageMap CWinApp::messageMap{&CCmdTarget::messageMap, {
    {WM_COMMAND, ID_APP_EXIT, &CWinApp::OnAppExit},
    {WM_COMMAND, ID_HELP, &CWinApp::OnHelp},
}};

CWinApp* CWinApp::Instance()
{
    return dynamic_cast<CWinApp*>(CWinThread::Current());
}

int CWinApp::RunInstance()
{
    CWinApp* application = Instance();
    if (!application) {
        std::fputs("The program has no application object.\n", stderr);
        return 1;
    }
    if (!application->InitInstance())
        return application->ExitInstance();
    return application->Run();
}

// "Exit" closes the main window as its close box would.
void CWinApp::OnAppExit()
{
    if (CWnd* window = GetMainWindow())
        window->SendMessage(WM_CLOSE);
}

// The program ships no help pages, so help says so rather than doing nothing.
void CWinApp::OnHelp()
{
    if (CWnd* window = GetMainWindow())
        window->ShowMessage(u"No help is available for " + Title() + u".", MB_ICONINFORMATION);
}
