#include "platform/gui/Menu.h"

#include "platform/gui/WinApp.h"
#include "platform/gui/Window.h"

Menu* MainWindowMenu()
{
    const CWinApp* app = CWinApp::Instance();
    const CWnd* window = app ? app->GetMainWindow() : nullptr;
    return window ? window->GetMenu() : nullptr;
}
