#pragma once

#include "platform/gui/SystemNumbers.h"

#include "platform/gui/Backend.h"
#include "platform/gui/CmdTarget.h"

#include <string>
#include <string_view>

class Menu;

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// A window: messages reach its handlers through SendMessage, which also
// applies the one error rule of the program (see Window.cpp).
class CWnd : public CCmdTarget {
public:
    std::intptr_t SendMessage(unsigned message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    std::intptr_t SendDlgItemMessage(int controlId, unsigned message, std::uintptr_t wParam = 0,
                                     std::intptr_t lParam = 0);

    // A message box owned by this window, with MB_ buttons and icon; with no
    // caption, the application title.
    int ShowMessage(std::u16string_view text, unsigned style = MB_OK);
    int ShowMessage(std::u16string_view text, std::u16string_view caption, unsigned style = MB_OK);

    Menu* GetMenu() const;
    Menu* GetSystemMenu(bool revert);
    bool IsIconic() const;
    Rect GetClientRect() const;
    std::u16string GetDlgItemText(int controlId) const;
    void SetDlgItemText(int controlId, std::u16string_view text);

    // The backend's window while it exists, for the backend and its tests.
    NativeWindow* Native() const { return m_native; }

protected:
    virtual std::intptr_t WindowProc(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    virtual std::intptr_t DefWindowProc(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

    // Default handling, for handlers that take over a message and chain on.
    void OnSysCommand(unsigned id, std::intptr_t param);
    void OnPaint();

    NativeWindow* m_native = nullptr;
    CWnd* m_owner = nullptr;

private:
    bool RouteCommand(std::uintptr_t wParam, std::intptr_t lParam);
    void ReportCurrentException() noexcept;
    void ReportError(std::u16string_view what);
};
