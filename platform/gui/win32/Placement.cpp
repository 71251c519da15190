#include "platform/gui/win32/Placement.h"

#include <utility>

namespace {

LONG Clamp(LONG value, LONG low, LONG high)
{
    // A window larger than the monitor shows its top left corner.
    return value > high ? (high > low ? high : low) : value < low ? low : value;
}

thread_local HHOOK t_boxHook = nullptr;

// What the title bar needs to show the caption whole: its text in the
// caption font, the icon, the close button and the frame on both sides.
LONG CaptionWidth(HWND window)
{
    wchar_t caption[512] = {};
    const int length = GetWindowTextW(window, caption, 512);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        return 0;
    const HFONT font = CreateFontIndirectW(&metrics.lfCaptionFont);
    const HDC dc = GetDC(window);
    const HGDIOBJ previous = SelectObject(dc, font);
    SIZE text{};
    GetTextExtentPoint32W(dc, caption, length, &text);
    SelectObject(dc, previous);
    ReleaseDC(window, dc);
    DeleteObject(font);
    const int frame = GetSystemMetrics(SM_CXFRAME) + GetSystemMetrics(SM_CXPADDEDBORDER);
    return text.cx + GetSystemMetrics(SM_CXSMICON) + 2 * GetSystemMetrics(SM_CXSIZE) + 2 * frame
           + 4 * GetSystemMetrics(SM_CXEDGE);
}

// Native message boxes are as wide as their caption on Windows, not on every
// system that runs the program: the box grows and its buttons stay centred.
void WidenForCaption(HWND box)
{
    RECT frame{};
    GetWindowRect(box, &frame);
    const LONG growth = CaptionWidth(box) - (frame.right - frame.left);
    if (growth <= 0)
        return;
    SetWindowPos(box, nullptr, 0, 0, frame.right - frame.left + growth, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[16] = {};
        GetClassNameW(child, className, 16);
        if (lstrcmpiW(className, L"Button") != 0)
            continue;
        RECT button{};
        GetWindowRect(child, &button);
        MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&button), 2);
        SetWindowPos(child, nullptr, button.left + growth / 2, button.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// The first window activated after the call is the message box, still unseen.
LRESULT CALLBACK PlaceTheBox(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && t_boxHook) {
        UnhookWindowsHookEx(std::exchange(t_boxHook, nullptr));
        const auto box = reinterpret_cast<HWND>(wParam);
        WidenForCaption(box);
        CentreWindow(box);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

void CentreWindow(HWND window)
{
    RECT frame{};
    if (!GetWindowRect(window, &frame))
        return;
    // A dialog that has just ended is hidden while its last message shows;
    // the message then belongs to the nearest owner still shown.
    HWND owner = GetWindow(window, GW_OWNER);
    while (owner && !IsWindowVisible(owner))
        owner = GetWindow(owner, GW_OWNER);
    const bool overOwner = owner && !IsIconic(owner);
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
    t_boxHook = SetWindowsHookExW(WH_CBT, &PlaceTheBox, nullptr, GetCurrentThreadId());
    const int result = MessageBoxW(owner, text, caption, style);
    if (t_boxHook)
        UnhookWindowsHookEx(std::exchange(t_boxHook, nullptr));
    return result;
}
