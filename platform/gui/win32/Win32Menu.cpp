#include "platform/gui/Menu.h"

#include "platform/gui/win32/NativeWindow.h"

Menu::Menu(std::unique_ptr<NativeMenu> native) : m_native(std::move(native))
{
}

Menu::~Menu() = default;

// The system's answers already are the platform's: previous states, and
// 0xFFFFFFFF for an id that no item has.
unsigned Menu::EnableMenuItem(int id, unsigned flags)
{
    return static_cast<unsigned>(::EnableMenuItem(m_native->handle, static_cast<UINT>(id), flags));
}

unsigned Menu::CheckMenuItem(int id, unsigned flags)
{
    return static_cast<unsigned>(::CheckMenuItem(m_native->handle, static_cast<UINT>(id), flags));
}

unsigned Menu::GetMenuState(int id, unsigned flags) const
{
    return static_cast<unsigned>(::GetMenuState(m_native->handle, static_cast<UINT>(id), flags));
}

bool Menu::AppendMenu(unsigned flags, int id, std::u16string_view text)
{
    const std::u16string item(text);
    return AppendMenuW(m_native->handle, flags, static_cast<UINT_PTR>(id),
                       (flags & MF_SEPARATOR) ? nullptr : WideOf(item)) != FALSE;
}
