#include "tools/driver/Win32Windows.h"

#include "platform/gui/Dialog.h"
#include "platform/gui/WinApp.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace driver {

namespace {

std::vector<HWND> g_windows;  // top-level windows of the program's thread, oldest first

LRESULT CALLBACK OnWindowEvent(int code, WPARAM wParam, LPARAM lParam)
{
    const auto hwnd = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTW* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
        if (!(create->style & WS_CHILD))
            g_windows.push_back(hwnd);
    } else if (code == HCBT_DESTROYWND) {
        g_windows.erase(std::remove(g_windows.begin(), g_windows.end(), hwnd), g_windows.end());
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool IsShown(HWND hwnd)
{
    return IsWindow(hwnd) && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd);
}

} // namespace

HHOOK FollowWindows()
{
    return SetWindowsHookExW(WH_CBT, &OnWindowEvent, nullptr, GetCurrentThreadId());
}

void StopFollowingWindows(HHOOK hook)
{
    UnhookWindowsHookEx(hook);
    g_windows.clear();
}

bool DialogAboutToAppear()
{
    for (const HWND window : g_windows) {
        const NativeWindow* native = NativeWindow::FromHandle(window);
        if (native && !native->HasAppeared())
            return true;
    }
    return false;
}

bool HasClass(HWND hwnd, const wchar_t* name)
{
    wchar_t className[64] = {};
    GetClassNameW(hwnd, className, 64);
    return lstrcmpiW(className, name) == 0;
}

// The window that takes input: the newest one shown and enabled.
HWND TopWindow()
{
    for (auto window = g_windows.rbegin(); window != g_windows.rend(); ++window) {
        if (IsShown(*window))
            return *window;
    }
    return nullptr;
}

HWND OpenMenu()
{
    const HWND top = TopWindow();
    return top && HasClass(top, L"#32768") ? top : nullptr;
}

NativeWindow* TopDialog()
{
    return NativeWindow::FromHandle(TopWindow());
}

HWND MessageBoxWindow()
{
    const HWND top = TopWindow();
    return top && !NativeWindow::FromHandle(top) && HasClass(top, L"#32770") ? top : nullptr;
}

NativeWindow* MainNativeWindow()
{
    const CWinApp* app = CWinApp::Instance();
    const CWnd* window = app ? app->GetMainWindow() : nullptr;
    return window ? window->Native() : nullptr;
}

HWND ControlOfTop(int controlId)
{
    const NativeWindow* window = TopDialog();
    return window ? GetDlgItem(window->Handle(), controlId) : nullptr;
}

std::u16string TextOf(HWND hwnd)
{
    std::vector<wchar_t> text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1);
    const int length = GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
    return U16Of(text.data(), static_cast<std::size_t>(length));
}

BoxIcon IconOfBox(HWND box)
{
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!HasClass(child, L"Static") || (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON
            || !IsWindowVisible(child))
            continue;
        const auto icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
        if (!icon)
            return BoxIcon::None;
        const std::pair<LPCWSTR, BoxIcon> known[] = {{IDI_HAND, BoxIcon::Error}, {IDI_EXCLAMATION, BoxIcon::Warning},
                                                     {IDI_ASTERISK, BoxIcon::Information},
                                                     {IDI_QUESTION, BoxIcon::Question}};
        for (const auto& [name, kind] : known) {
            if (LoadIconW(nullptr, name) == icon)
                return kind;
        }
    }
    return BoxIcon::None;
}

std::u16string TextOfBox(HWND box)
{
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (HasClass(child, L"Static") && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
            if (std::u16string text = TextOf(child); !text.empty())
                return text;
        }
    }
    return {};
}

// Ends the window on top the way that cannot be refused.
void CloseTopWindow()
{
    const HWND top = TopWindow();
    if (!top)
        return;
    if (OpenMenu())
        EndMenu();
    else if (NativeWindow* dialog = NativeWindow::FromHandle(top))
        static_cast<CDialog&>(dialog->Window()).EndModal(-1);
    else if (HasClass(top, L"#32770"))
        PostMessageW(top, WM_COMMAND, IDOK, 0);
    else
        PostMessageW(top, WM_CLOSE, 0, 0);
}

} // namespace driver
