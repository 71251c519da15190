#pragma once

#include "platform/gui/CmdTarget.h"

class CWnd;

// The program's one thread of windows: its start-up, main window and loop.
class CWinThread : public CCmdTarget {
public:
    // Returns false to end the program without running a loop.
    virtual bool InitInstance() { return true; }
    virtual int Run();
    virtual int ExitInstance() { return 0; }

    CWnd* GetMainWindow() const { return m_mainWindow; }
    void SetMainWindow(CWnd* window) { m_mainWindow = window; }

private:
    CWnd* m_mainWindow = nullptr;
};
