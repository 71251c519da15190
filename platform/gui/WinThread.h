#pragma once

#include "platform/gui/CmdTarget.h"

#include <string>

class CWnd;

// The program's one thread of windows: its start-up, main window and loop.
// Windows reach the application through it, and it knows no more of them
// than their base, so the arrows point one way: application, window, thread.
class CWinThread : public CCmdTarget {
public:
    CWinThread();
    ~CWinThread() override;

    // The thread of the program's windows, or null when there is none.
    static CWinThread* Current();

    // Returns false to end the program without running a loop.
    virtual bool InitInstance() { return true; }
    virtual int Run();
    virtual int ExitInstance() { return 0; }
    // The caption of a message box that names none.
    virtual std::u16string Title() const { return {}; }

    CWnd* GetMainWindow() const { return m_mainWindow; }
    void SetMainWindow(CWnd* window) { m_mainWindow = window; }

private:
    CWnd* m_mainWindow = nullptr;
};
