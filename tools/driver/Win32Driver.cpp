#include "tools/driver/Driver.h"
#include "tools/driver/ProgramThread.h"
#include "tools/driver/Win32Windows.h"

#include "platform/gui/Dialog.h"
#include "platform/gui/Menu.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <thread>

using namespace driver;

// The program runs on the test's thread; the script's inputs reach it through
// a thread timer, whose procedure runs inside every modal loop (dialogs,
// message boxes, menus), and a CBT hook follows the windows that open.
namespace {

constexpr UINT kTick = 10;

std::mutex g_tasksMutex;
std::deque<std::function<void()>> g_tasks;

// Runs the tasks queued before this tick; those they queue wait for the next
// one, after the messages that they posted have been handled; input waits
// for a dialog that is about to appear.
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
    const HHOOK hook = FollowWindows();
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
    StopFollowingWindows(hook);
    KillTimer(nullptr, timer);
    {
        std::lock_guard guard(g_tasksMutex);
        g_tasks.clear();
    }
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
