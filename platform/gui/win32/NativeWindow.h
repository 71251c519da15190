#pragma once

#include "platform/gui/Menu.h"

#include <memory>

#include "platform/gui/win32/Win32.h"

class CWnd;
class PaintContext;
struct Icon;

// The Win32 window of a running dialog: a subclassed dialog-manager window
// whose messages all pass through the dialog's message tables first.
class NativeWindow {
public:
    explicit NativeWindow(CWnd& window) : m_window(window) {}
    NativeWindow(const NativeWindow&) = delete;
    NativeWindow& operator=(const NativeWindow&) = delete;

    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static NativeWindow* FromHandle(HWND hwnd);

    CWnd& Window() const { return m_window; }
    HWND Handle() const { return m_hwnd; }
    // Centred as it opens, over its owner or its monitor (platform/gui/win32/Placement.h).
    void SetCentred(bool centred) { m_centred = centred; }
    // A modal dialog appears once its loop first waits; before that it takes no input.
    bool HasAppeared() const { return m_appeared; }
    // What the dialog manager would have done with the message.
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

    Menu* MenuBar();
    Menu* SystemMenu(bool revert);

    const Icon* SetIcon(int which, const Icon* icon);
    const Icon* GetIcon(int which) const { return m_icons[which == ICON_BIG ? 1 : 0]; }

    // Painting: the context of the current WM_PAINT, and a device context
    // that takes the place of the window's (for pictures of it).
    PaintContext* ActivePaint() const { return m_activePaint; }
    HDC ActivePaintDc() const { return m_activePaintDc; }
    void SetActivePaint(PaintContext* context, HDC dc)
    {
        m_activePaint = context;
        m_activePaintDc = dc;
    }
    HDC PaintTarget() const { return m_paintTarget; }
    void SetPaintTarget(HDC target) { m_paintTarget = target; }

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Attach(HWND hwnd);
    void Detach();

    CWnd& m_window;
    HWND m_hwnd = nullptr;
    WNDPROC m_dialogManager = nullptr;
    std::unique_ptr<Menu> m_menuBar;
    std::unique_ptr<Menu> m_systemMenu;
    const Icon* m_icons[2] = {nullptr, nullptr};
    PaintContext* m_activePaint = nullptr;
    HDC m_activePaintDc = nullptr;
    HDC m_paintTarget = nullptr;
    bool m_appeared = false;
    bool m_centred = false;
};

// What an IconHandle points to in this backend, and a Menu's native side.
struct Icon {
    HICON handle;
};

struct NativeMenu {
    HMENU handle;
};

// What a PaintContext draws with.
struct NativePainter {
    HWND hwnd = nullptr;
    HDC dc = nullptr;
    PAINTSTRUCT paint{};
    bool begun = false;
    NativeWindow* window = nullptr;
};
