#pragma once

#include <memory>
#include <string_view>

// Menu flags and item states, with the native platform's values.
constexpr unsigned MF_BYCOMMAND = 0x0000;
constexpr unsigned MF_ENABLED = 0x0000;
constexpr unsigned MF_GRAYED = 0x0001;
constexpr unsigned MF_DISABLED = 0x0002;
constexpr unsigned MF_UNCHECKED = 0x0000;
constexpr unsigned MF_CHECKED = 0x0008;
constexpr unsigned MF_POPUP = 0x0010;
constexpr unsigned MF_STRING = 0x0000;
constexpr unsigned MF_SEPARATOR = 0x0800;
// What the state calls give for an id that no item has.
constexpr unsigned MENU_ITEM_MISSING = 0xFFFFFFFF;

struct NativeMenu;

// A menu bar or pop-up; items are addressed by command id, nested pop-ups included.
class Menu {
public:
    explicit Menu(std::unique_ptr<NativeMenu> native);
    ~Menu();

    // Each returns the item's previous state (MF_GRAYED, MF_CHECKED) or MENU_ITEM_MISSING.
    unsigned EnableMenuItem(int id, unsigned flags);
    unsigned CheckMenuItem(int id, unsigned flags);
    unsigned GetMenuState(int id, unsigned flags) const;
    bool AppendMenu(unsigned flags, int id = 0, std::u16string_view text = {});

    NativeMenu& Native() const { return *m_native; }

private:
    std::unique_ptr<NativeMenu> m_native;
};

// The menu bar of the application's main window; null when there is none.
Menu* MainWindowMenu();
