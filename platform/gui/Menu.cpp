#include "platform/gui/Menu.h"

#include "platform/gui/WinThread.h"
#include "platform/gui/Window.h"

Menu* MainWindowMenu()
{
    const CWinThread* thread = CWinThread::Current();
    const CWnd* window = thread ? thread->GetMainWindow() : nullptr;
    return window ? window->GetMenu() : nullptr;
}
