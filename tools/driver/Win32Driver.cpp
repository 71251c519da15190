#include "tools/driver/Driver.h"
#include "tools/driver/ProgramThread.h"

#include "platform/gui/Dialog.h"
#include "platform/gui/Menu.h"
#include "platform/gui/WinApp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <fstream>
#include <mutex>
#include <thread>

#include "platform/gui/win32/NativeWindow.h"

// The program runs on the test's thread; the script's inputs reach it through
// a thread timer, whose procedure runs inside every modal loop (dialogs,
// message boxes, menus), and a CBT hook follows the windows that open.
namespace {

constexpr UINT kTick = 10;

std::mutex g_tasksMutex;
std::deque<std::function<void()>> g_tasks;
std::vector<HWND> g_windows;  // top-level windows of the program's thread, oldest first

// Runs the tasks queued before this tick; those they queue wait for the next
// one, after the messages that they posted have been handled. A dialog that
// is starting takes the first ticks of its loop before it shows: input waits.
bool DialogAboutToAppear()
{
    for (const HWND window : g_windows) {
        const NativeWindow* native = NativeWindow::FromHandle(window);
        if (native && !native->HasAppeared())
            return true;
    }
    return false;
}

void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD)
{
    if (DialogAboutToAppear())
        return;
    std::size_t count;
    {
        std::lock_guard guard(g_tasksMutex);
        count = g_tasks.size();
    }
    for (; count > 0; --count) {
        std::function<void()> task;
        {
            std::lock_guard guard(g_tasksMutex);
            if (g_tasks.empty())
                return;
            task = std::move(g_tasks.front());
            g_tasks.pop_front();
        }
        task();
    }
}

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

// Keys go where a person's would: to the control with the focus.
HWND KeyTarget()
{
    const HWND top = TopWindow();
    const HWND focus = GetFocus();
    return focus && (focus == top || IsChild(top, focus)) ? focus : top;
}

void PostKey(UINT down, UINT up, WPARAM key, LPARAM flags)
{
    const HWND target = KeyTarget();
    if (!target)
        return;
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(target, down, key, 1 | scan | flags);
    if (up)
        PostMessageW(target, up, key, 1 | scan | flags | (LPARAM{3} << 30));
}

// F1 asks for help only as real input: the system turns it into WM_HELP
// when it takes the key from the input queue.
void TypeKey(WORD key)
{
    INPUT inputs[2] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
    }
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
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

// A picture of what a device context holds, top-down 0xAARRGGBB.
struct Canvas {
    Canvas(int width, int height) : width(width), height(height)
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        previous = SelectObject(dc, bitmap);
    }
    ~Canvas()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    Picture Take() const
    {
        GdiFlush();
        Picture picture{width, height, {}};
        for (int i = 0; i < width * height; ++i)
            picture.pixels.push_back(0xFF000000u | (bits[i] & 0xFFFFFFu));
        return picture;
    }

    int width;
    int height;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    unsigned* bits = nullptr;
};

std::uint32_t Crc32(const unsigned char* data, std::size_t size, std::uint32_t crc = 0)
{
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutBigEndian(std::string& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

void PutChunk(std::string& out, const char* type, const std::string& data)
{
    PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    out += body;
    PutBigEndian(out, Crc32(reinterpret_cast<const unsigned char*>(body.data()), body.size()));
}

// A PNG file with stored (uncompressed) deflate blocks: small code, valid file.
void SavePng(const Picture& picture, const std::string& path)
{
    std::string raw;
    for (int y = 0; y < picture.height; ++y) {
        raw += '\0';
        for (int x = 0; x < picture.width; ++x) {
            const unsigned pixel = picture.At(x, y);
            raw += static_cast<char>((pixel >> 16) & 0xFF);
            raw += static_cast<char>((pixel >> 8) & 0xFF);
            raw += static_cast<char>(pixel & 0xFF);
        }
    }
    std::string zlib = "\x78\x01";
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    for (std::size_t offset = 0; offset < raw.size() || offset == 0; offset += 65535) {
        const std::size_t size = std::min<std::size_t>(65535, raw.size() - offset);
        zlib += static_cast<char>(offset + size >= raw.size() ? 1 : 0);
        zlib += static_cast<char>(size & 0xFF);
        zlib += static_cast<char>(size >> 8);
        zlib += static_cast<char>(~size & 0xFF);
        zlib += static_cast<char>((~size >> 8) & 0xFF);
        zlib += raw.substr(offset, size);
        if (size == 0)
            break;
    }
    PutBigEndian(zlib, (b << 16) | a);
    std::string header;
    PutBigEndian(header, static_cast<std::uint32_t>(picture.width));
    PutBigEndian(header, static_cast<std::uint32_t>(picture.height));
    header += std::string("\x08\x02\x00\x00\x00", 5);
    std::string png = "\x89PNG\r\n\x1a\n";
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", zlib);
    PutChunk(png, "IEND", "");
    std::ofstream(path, std::ios::binary).write(png.data(), static_cast<std::streamsize>(png.size()));
}

}  // namespace

// Tasks wait for the next tick of the timer, which fires inside every modal loop.
void PostToProgram(std::function<void()> task)
{
    std::lock_guard guard(g_tasksMutex);
    g_tasks.push_back(std::move(task));
}

struct Driver::State {
    std::atomic<bool> running{false};
};

Driver::Driver() : m_state(std::make_shared<State>())
{
}

Driver::~Driver() = default;

void Driver::Run(const std::function<void()>& program, const std::function<void(Driver&)>& script)
{
    const UINT_PTR timer = SetTimer(nullptr, 0, kTick, &OnTick);
    const HHOOK hook = SetWindowsHookExW(WH_CBT, &OnWindowEvent, nullptr, GetCurrentThreadId());
    m_state->running = true;
    std::atomic<bool> scriptDone{false};
    std::thread scriptThread([&] {
        try {
            script(*this);
        } catch (const ProgramNotAnswering&) {
        }
        try {
            for (int attempt = 0; attempt < 50 && IsRunning(); ++attempt)
                Act(CloseTopWindow);
        } catch (const ProgramNotAnswering&) {
        }
        scriptDone = true;
    });
    program();
    m_state->running = false;
    // Keep answering the script's questions until it is done.
    MSG message;
    while (!scriptDone && GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    scriptThread.join();
    UnhookWindowsHookEx(hook);
    KillTimer(nullptr, timer);
    {
        std::lock_guard guard(g_tasksMutex);
        g_tasks.clear();
    }
    g_windows.clear();
    EXPECT_FALSE(IsRunning()) << "the program did not end";
}

bool Driver::IsRunning() const
{
    return m_state->running;
}

bool Driver::Choose(int commandId)
{
    const bool enabled = OnGuiThread([commandId] {
        const NativeWindow* window = MainNativeWindow();
        // Another modal window or a pop-up takes all input while it is open.
        if (!window || TopWindow() != window->Handle())
            return false;
        const UINT state = GetMenuState(GetMenu(window->Handle()), static_cast<UINT>(commandId), MF_BYCOMMAND);
        return state != 0xFFFFFFFF && !(state & (MF_GRAYED | MF_DISABLED | MF_POPUP));
    });
    if (!enabled)
        return false;
    Act([commandId] {
        if (const NativeWindow* window = MainNativeWindow())
            PostMessageW(window->Handle(), WM_COMMAND, static_cast<WPARAM>(commandId), 0);
    });
    return true;
}

bool Driver::ChooseSystemMenu(int commandId)
{
    Press(Key::AltSpace);
    const bool found = OnGuiThread([commandId] {
        const NativeWindow* window = MainNativeWindow();
        const HMENU menu = window && OpenMenu() ? GetSystemMenu(window->Handle(), FALSE) : nullptr;
        return menu && GetMenuState(menu, static_cast<UINT>(commandId), MF_BYCOMMAND) != 0xFFFFFFFF;
    });
    // Choosing an item closes the menu and sends its command.
    Act([commandId, found] {
        if (!OpenMenu())
            return;
        EndMenu();
        if (const NativeWindow* window = found ? MainNativeWindow() : nullptr)
            PostMessageW(window->Handle(), WM_SYSCOMMAND, static_cast<WPARAM>(commandId), 0);
    });
    return found;
}

void Driver::Press(Key key)
{
    Act([key] {
        constexpr LPARAM alt = LPARAM{1} << 29;
        switch (key) {
        case Key::Enter:
            PostKey(WM_KEYDOWN, WM_KEYUP, VK_RETURN, 0);
            break;
        case Key::Escape:
            PostKey(WM_KEYDOWN, WM_KEYUP, VK_ESCAPE, 0);
            break;
        case Key::Tab:
            PostKey(WM_KEYDOWN, WM_KEYUP, VK_TAB, 0);
            break;
        case Key::Space:
            PostKey(WM_KEYDOWN, WM_KEYUP, VK_SPACE, 0);
            break;
        case Key::AltF4:
            PostKey(WM_SYSKEYDOWN, WM_SYSKEYUP, VK_F4, alt);
            break;
        case Key::AltSpace:
            PostKey(WM_SYSCHAR, 0, L' ', alt);
            break;
        case Key::F1:
            TypeKey(VK_F1);
            break;
        }
    });
}

void Driver::Click(int controlId)
{
    Act([controlId] {
        const HWND button = ControlOfTop(controlId);
        if (button && HasClass(button, L"Button"))
            PostMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
                         reinterpret_cast<LPARAM>(button));
        else
            ADD_FAILURE() << "no button " << controlId << " in the active window";
    });
}

void Driver::Type(int controlId, std::u16string_view text)
{
    Act([controlId, text = std::u16string(text)] {
        const HWND edit = ControlOfTop(controlId);
        if (!edit || !HasClass(edit, L"Edit")) {
            ADD_FAILURE() << "no edit " << controlId << " in the active window";
            return;
        }
        SetFocus(edit);
        SendMessageW(edit, EM_SETSEL, 0, -1);
        SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(WideOf(text)));
    });
}

void Driver::CloseBox()
{
    Act([] {
        if (const HWND top = TopWindow())
            PostMessageW(top, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
}

void Driver::Dismiss()
{
    Act([] {
        if (const HWND box = MessageBoxWindow())
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        else
            ADD_FAILURE() << "no message box to dismiss";
    });
}

void Driver::Call(const std::function<void()>& code)
{
    Act(code);
}

CDialog* Driver::ActiveDialog()
{
    return OnGuiThread([]() -> CDialog* {
        const NativeWindow* window = TopDialog();
        return window ? dynamic_cast<CDialog*>(&window->Window()) : nullptr;
    });
}

std::optional<MessageBoxView> Driver::ActiveMessageBox()
{
    return OnGuiThread([]() -> std::optional<MessageBoxView> {
        const HWND box = MessageBoxWindow();
        if (!box)
            return std::nullopt;
        MessageBoxView view;
        view.text = TextOfBox(box);
        view.caption = TextOf(box);
        view.icon = IconOfBox(box);
        if (const HWND owner = GetWindow(box, GW_OWNER)) {
            view.ownerCaption = TextOf(owner);
            view.ownerVisible = IsWindowVisible(owner) != FALSE;
        }
        return view;
    });
}

std::u16string Driver::Text(int controlId)
{
    return OnGuiThread([controlId] {
        const NativeWindow* window = TopDialog();
        return window ? window->Window().GetDlgItemText(controlId) : std::u16string();
    });
}

bool Driver::IsMasked(int controlId)
{
    return OnGuiThread([controlId] {
        const HWND edit = ControlOfTop(controlId);
        return edit && SendMessageW(edit, EM_GETPASSWORDCHAR, 0, 0) != 0;
    });
}

int Driver::FocusedControl()
{
    return OnGuiThread([] {
        const HWND top = TopWindow();
        const HWND focus = GetFocus();
        return top && focus && IsChild(top, focus) ? GetDlgCtrlID(focus) : 0;
    });
}

unsigned Driver::MenuState(int commandId)
{
    return OnGuiThread([commandId] {
        const Menu* menu = MainWindowMenu();
        return menu ? menu->GetMenuState(commandId, MF_BYCOMMAND) : MENU_ITEM_MISSING;
    });
}

std::u16string Driver::SystemMenuText()
{
    return OnGuiThread([] {
        const NativeWindow* window = MainNativeWindow();
        const HMENU menu = window ? GetSystemMenu(window->Handle(), FALSE) : nullptr;
        std::u16string text;
        for (int item = 0; menu && item < GetMenuItemCount(menu); ++item) {
            wchar_t label[128] = {};
            const UINT state = GetMenuState(menu, static_cast<UINT>(item), MF_BYPOSITION);
            if (state & MF_SEPARATOR) {
                text += u"-";
            } else {
                const int length = GetMenuStringW(menu, static_cast<UINT>(item), label, 128, MF_BYPOSITION);
                text += U16Of(label, static_cast<std::size_t>(length));
            }
            text += u'\n';
        }
        return text;
    });
}

Placement Driver::ActivePlacement()
{
    return OnGuiThread([] {
        const auto rectOf = [](const RECT& r) { return Rect{r.left, r.top, r.right, r.bottom}; };
        Placement placement;
        const HWND window = TopWindow();
        RECT area{};
        if (!window || !GetWindowRect(window, &area))
            return placement;
        placement.window = rectOf(area);
        if (const HWND owner = GetWindow(window, GW_OWNER); owner && GetWindowRect(owner, &area))
            placement.owner = rectOf(area);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
        placement.screen = rectOf(monitor.rcWork);
        // The caption in the system's caption font, beside the icon and the close button.
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof(metrics);
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
        const HFONT font = CreateFontIndirectW(&metrics.lfCaptionFont);
        const HDC dc = GetDC(nullptr);
        const HGDIOBJ previous = SelectObject(dc, font);
        const std::u16string caption = TextOf(window);
        SIZE text{};
        GetTextExtentPoint32W(dc, reinterpret_cast<const wchar_t*>(caption.c_str()), static_cast<int>(caption.size()), &text);
        SelectObject(dc, previous);
        ReleaseDC(nullptr, dc);
        DeleteObject(font);
        placement.captionWidth = text.cx + GetSystemMetrics(SM_CXSMICON) + GetSystemMetrics(SM_CXSIZE);
        return placement;
    });
}

// What the screen shows of the window on top: the system draws frames and
// controls on the screen only, so this needs a display (Wine's X11 driver).
void Driver::Screenshot(const std::string& path)
{
    Act([] {
        if (const HWND window = TopWindow())
            RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    });
    // The window system shows what was painted a moment later.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    OnGuiThread([path] {
        const HWND window = TopWindow();
        RECT area{};
        if (!window || !GetWindowRect(window, &area))
            return;
        Canvas canvas(area.right - area.left, area.bottom - area.top);
        const HDC screen = GetDC(nullptr);
        BitBlt(canvas.dc, 0, 0, canvas.width, canvas.height, screen, area.left, area.top, SRCCOPY);
        ReleaseDC(nullptr, screen);
        SavePng(canvas.Take(), path);
    });
}

Picture Driver::PaintMainWindowClient(WindowState state)
{
    return OnGuiThread([state] {
        NativeWindow* window = MainNativeWindow();
        if (!window)
            return Picture{};
        const HWND hwnd = window->Handle();
        RECT client{};
        GetClientRect(hwnd, &client);
        // Windows leaves a minimized window no client area at all; the style
        // bit alone makes it iconic to its own painting, at its usual size.
        const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
        if (state == WindowState::Minimized)
            SetWindowLongPtrW(hwnd, GWL_STYLE, style | WS_MINIMIZE);
        Canvas canvas(client.right, client.bottom);
        window->SetPaintTarget(canvas.dc);
        window->Window().SendMessage(WM_PAINT);
        window->SetPaintTarget(nullptr);
        SetWindowLongPtrW(hwnd, GWL_STYLE, style);
        return canvas.Take();
    });
}
