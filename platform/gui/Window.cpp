#include "platform/gui/Window.h"

#include "platform/gui/SystemNumbers.h"
#include "platform/gui/Unicode.h"
#include "platform/gui/WinThread.h"

#include <exception>
#include <new>

namespace {

// Made at start: where memory has run out, no text can be made.
const std::u16string outOfMemory = u"There is not enough memory to finish this action.";

} // namespace

// The error rule of the program: an exception that escapes a handler ends that
// handler, is reported in an error box owned by its window, and the program
// goes on. Every message reaches its handler through SendMessage, so this is
// the one place where handlers' errors are caught.
std::intptr_t CWnd::SendMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    try {
        return WindowProc(message, wParam, lParam);
    } catch (...) {
        ReportCurrentException();
    }
    return 0;
}

// Telling an error may itself run out of memory: then the text made in
// advance is tried, and failing that the action ends untold.
void CWnd::ReportCurrentException() noexcept
{
    try {
        try {
            throw;
        } catch (const std::bad_alloc&) {
            ReportError(outOfMemory);
        } catch (const std::exception& error) {
            ReportError(Utf8ToUtf16(error.what()));
        } catch (...) {
            ReportError(u"An unexpected error stopped this action.");
        }
    } catch (...) {
        try {
            ReportError(outOfMemory);
        } catch (...) {
        }
    }
}

void CWnd::ReportError(std::u16string_view what)
{
    ShowMessage(what, MB_ICONERROR);
}

std::intptr_t CWnd::WindowProc(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    if (message == WM_COMMAND) {
        if (RouteCommand(wParam, lParam))
            return 0;
        return DefWindowProc(message, wParam, lParam);
    }
    std::intptr_t result = 0;
    if (OnCmdMsg(message, wParam, lParam, &result))
        return result;
    return DefWindowProc(message, wParam, lParam);
}

// A command goes to this window's tables, then its owner's, then the application's.
bool CWnd::RouteCommand(std::uintptr_t wParam, std::intptr_t lParam)
{
    if (OnCmdMsg(WM_COMMAND, wParam, lParam))
        return true;
    if (m_owner && m_owner->OnCmdMsg(WM_COMMAND, wParam, lParam))
        return true;
    CWinThread* thread = CWinThread::Current();
    return thread && thread->OnCmdMsg(WM_COMMAND, wParam, lParam);
}

int CWnd::ShowMessage(std::u16string_view text, unsigned style)
{
    const CWinThread* thread = CWinThread::Current();
    return ShowMessage(text, thread ? thread->Title() : std::u16string(), style);
}

void CWnd::OnSysCommand(unsigned id, std::intptr_t param)
{
    DefWindowProc(WM_SYSCOMMAND, id, param);
}

void CWnd::OnPaint()
{
    DefWindowProc(WM_PAINT, 0, 0);
}
