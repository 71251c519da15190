#include "platform/gui/SystemNumbers.h"
#include "platform/gui/Window.h"

#include "platform/gui/win32/NativeWindow.h"
#include "platform/gui/win32/Placement.h"

namespace {

const wchar_t* const WindowProperty = L"Quillmark.NativeWindow";

}  // namespace

HINSTANCE ProgramModule()
{
    return GetModuleHandleW(nullptr);
}

NativeWindow* NativeWindow::FromHandle(HWND hwnd)
{
    return hwnd ? static_cast<NativeWindow*>(GetPropW(hwnd, WindowProperty)) : nullptr;
}

// The dialog manager calls this for its own default handling; until the
// window is attached, and for everything the tables pass on, it does nothing.
INT_PTR CALLBACK NativeWindow::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    auto* window = reinterpret_cast<NativeWindow*>(lParam);
    window->Attach(hwnd);
    // Every backend's edits take the same length, whatever this system's default.
    EnumChildWindows(hwnd, [](HWND child, LPARAM) -> BOOL {
        wchar_t className[16] = {};
        if (GetClassNameW(child, className, 16) && lstrcmpiW(className, L"Edit") == 0)
            SendMessageW(child, EM_SETLIMITTEXT, MaximumEditLength, 0);
        return TRUE;
    }, 0);
    if (window->m_centred)
        CentreWindow(hwnd);
    const std::intptr_t result = window->m_window.SendMessage(WM_INITDIALOG, wParam, 0);
    return result != 0 ? TRUE : FALSE;
}

void NativeWindow::Attach(HWND hwnd)
{
    m_hwnd = hwnd;
    SetPropW(hwnd, WindowProperty, this);
    m_dialogManager = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&NativeWindow::SubclassProc)));
}

void NativeWindow::Detach()
{
    if (!m_hwnd)
        return;
    SetWindowLongPtrW(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_dialogManager));
    RemovePropW(m_hwnd, WindowProperty);
    m_hwnd = nullptr;
}

// Every message of the window goes through the dialog's tables, and so under
// the program's error rule; what they leave goes to Default.
LRESULT CALLBACK NativeWindow::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    NativeWindow* window = FromHandle(hwnd);
    if (!window)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_SHOWWINDOW && wParam)
        window->m_appeared = true;
    if (message == WM_NCDESTROY) {
        const WNDPROC dialogManager = window->m_dialogManager;
        window->Detach();
        return CallWindowProcW(dialogManager, hwnd, message, wParam, lParam);
    }
    switch (message) {
    case WM_SETICON:
    case WM_GETICON:
    case WM_NEXTDLGCTL:
        // From the system or another program: native handles, not the platform's.
        return window->Default(message, wParam, lParam);
    case WM_QUERYDRAGICON:
        if (const auto* icon = reinterpret_cast<const Icon*>(window->m_window.SendMessage(message, wParam, lParam)))
            return reinterpret_cast<LRESULT>(icon->handle);
        return 0;
    default:
        return window->m_window.SendMessage(message, wParam, lParam);
    }
}

LRESULT NativeWindow::Default(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!m_hwnd || !m_dialogManager)
        return 0;
    return CallWindowProcW(m_dialogManager, m_hwnd, message, wParam, lParam);
}

Menu* NativeWindow::MenuBar()
{
    HMENU bar = m_hwnd ? GetMenu(m_hwnd) : nullptr;
    if (!bar)
        return nullptr;
    if (!m_menuBar || m_menuBar->Native().handle != bar)
        m_menuBar = std::make_unique<Menu>(std::make_unique<NativeMenu>(NativeMenu{bar}));
    return m_menuBar.get();
}

Menu* NativeWindow::SystemMenu(bool revert)
{
    if (!m_hwnd)
        return nullptr;
    HMENU menu = GetSystemMenu(m_hwnd, revert ? TRUE : FALSE);
    if (revert || !menu) {
        m_systemMenu.reset();
        return nullptr;
    }
    if (!m_systemMenu || m_systemMenu->Native().handle != menu)
        m_systemMenu = std::make_unique<Menu>(std::make_unique<NativeMenu>(NativeMenu{menu}));
    return m_systemMenu.get();
}

const Icon* NativeWindow::SetIcon(int which, const Icon* icon)
{
    const int slot = which == ICON_BIG ? 1 : 0;
    const Icon* previous = m_icons[slot];
    m_icons[slot] = icon;
    Default(WM_SETICON, static_cast<WPARAM>(which), reinterpret_cast<LPARAM>(icon ? icon->handle : nullptr));
    return previous;
}
