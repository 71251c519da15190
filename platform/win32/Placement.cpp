#include "platform/win32/Placement.h"

#include <utility>

namespace {

LONG Clamp(LONG value, LONG low, LONG high)
{
    // A window larger than the monitor shows its top left corner.
    return value > high ? (high > low ? high : low) : value < low ? low : value;
}

thread_local HHOOK t_boxHook = nullptr;

// The first window activated after the call is the message box, still unseen.
LRESULT CALLBACK CentreTheBox(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && t_boxHook) {
        UnhookWindowsHookEx(std::exchange(t_boxHook, nullptr));
        CentreWindow(reinterpret_cast<HWND>(wParam));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

void CentreWindow(HWND window)
{
    RECT frame{};
    if (!GetWindowRect(window, &frame))
        return;
    const HWND owner = GetWindow(window, GW_OWNER);
    const bool overOwner = owner && IsWindowVisible(owner) && !IsIconic(owner);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromWindow(overOwner ? owner : window, MONITOR_DEFAULTTOPRIMARY), &monitor))
        return;
    const RECT area = monitor.rcWork;
    RECT around = area;
    if (overOwner)
        GetWindowRect(owner, &around);
    const LONG width = frame.right - frame.left;
    const LONG height = frame.bottom - frame.top;
    const LONG left = Clamp(around.left + (around.right - around.left - width) / 2, area.left, area.right - width);
    const LONG top = Clamp(around.top + (around.bottom - around.top - height) / 2, area.top, area.bottom - height);
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int CentredMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style)
{
    t_boxHook = SetWindowsHookExW(WH_CBT, &CentreTheBox, nullptr, GetCurrentThreadId());
    const int result = MessageBoxW(owner, text, caption, style);
    if (t_boxHook)
        UnhookWindowsHookEx(std::exchange(t_boxHook, nullptr));
    return result;
}
