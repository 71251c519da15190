#include "platform/gui/WinThread.h"

namespace {
CWinThread* g_thread = nullptr;
}

CWinThread::CWinThread()
{
    g_thread = this;
}

CWinThread::~CWinThread()
{
    if (g_thread == this)
        g_thread = nullptr;
}

CWinThread* CWinThread::Current()
{
    return g_thread;
}
