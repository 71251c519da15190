#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/gui/Window.h"

class CDialog;

enum class Key { Enter, Escape, Tab, Space, AltF4, AltSpace, F1 };
enum class BoxIcon { None, Error, Warning, Information, Question };

struct MessageBoxView {
    std::u16string text;
    std::u16string caption;
    BoxIcon icon = BoxIcon::None;
    std::u16string ownerCaption;
    bool ownerVisible = false;  // was the owning dialog still on screen?
};

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned> pixels;  // 0xAARRGGBB, row by row

    unsigned At(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

// Where the window on top lies and what lies around it, in screen pixels.
struct Placement {
    Rect window;        // its frame
    Rect owner;         // its owner's frame; empty when it has none
    Rect screen;        // the work area of its screen
    int captionWidth = 0;  // the width a title bar needs to show its caption whole
};

// Drives the program as a person would, from a script that runs beside the
// program's own thread. Every action returns once the program has settled:
// it handled the input, or it waits in a window that the input opened.
class Driver {
public:
    Driver();
    ~Driver();

    // Runs `program` (which runs modal windows) on this thread and `script`
    // beside it; afterwards closes whatever the script left open.
    void Run(const std::function<void()>& program, const std::function<void(Driver&)>& script);

    // A menu item of the main window, as a click on it; false when it is grayed.
    bool Choose(int commandId);
    // Alt+Space, then the system menu's item; false when the menu has none.
    bool ChooseSystemMenu(int commandId);
    void Press(Key key);
    void Click(int controlId);
    void Type(int controlId, std::u16string_view text);
    void CloseBox();
    void Dismiss();
    // Runs code on the program's thread, as a handler would.
    void Call(const std::function<void()>& code);

    CDialog* ActiveDialog();
    std::optional<MessageBoxView> ActiveMessageBox();
    std::u16string Text(int controlId);
    bool IsMasked(int controlId);
    int FocusedControl();
    unsigned MenuState(int commandId);
    std::u16string SystemMenuText();
    Placement ActivePlacement();
    bool IsRunning() const;

    // Saves the active window, or the main window, as a PNG picture.
    void Screenshot(const std::string& path);
    // The main window's client area as its own painting leaves it, without
    // the controls over it; minimized first when asked.
    enum class WindowState { Normal, Minimized };
    Picture PaintMainWindowClient(WindowState state);

private:
    struct State;
    std::shared_ptr<State> m_state;
};
