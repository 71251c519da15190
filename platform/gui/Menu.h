#pragma once

#include "platform/gui/SystemNumbers.h"

#include "platform/gui/Backend.h"

#include <memory>
#include <string_view>

// What the state calls give for an id that no item has.
constexpr unsigned MENU_ITEM_MISSING = 0xFFFFFFFF;

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
