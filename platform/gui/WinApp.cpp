#include "platform/gui/WinApp.h"

#include "platform/gui/Messages.h"
#include "platform/gui/Window.h"

#include <cstdio>

namespace {
CWinApp* g_application = nullptr;
}

const MessageMap CWinApp::messageMap{&CCmdTarget::messageMap, {
    {WM_COMMAND, ID_APP_EXIT, &CWinApp::OnAppExit},
    {WM_COMMAND, ID_HELP, &CWinApp::OnHelp},
}};

CWinApp::CWinApp()
{
    g_application = this;
}

CWinApp::~CWinApp()
{
    if (g_application == this)
        g_application = nullptr;
}

CWinApp* CWinApp::Instance()
{
    return g_application;
}

int CWinApp::RunInstance()
{
    if (!g_application) {
        std::fputs("The program has no application object.\n", stderr);
        return 1;
    }
    if (!g_application->InitInstance())
        return g_application->ExitInstance();
    return g_application->Run();
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
