#include "platform/Menu.h"

#include "platform/WinApp.h"
#include "platform/Window.h"

Menu* MainWindowMenu()
{
    const CWinApp* app = CWinApp::Instance();
    const CWnd* window = app ? app->GetMainWindow() : nullptr;
    return window ? window->GetMenu() : nullptr;
}
