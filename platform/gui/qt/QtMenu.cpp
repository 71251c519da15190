#include "platform/gui/Menu.h"
#include "platform/gui/qt/NativeMenu.h"
#include "platform/gui/qt/QtText.h"

#include <QMenu>

namespace {

const char* const CommandId = "commandId";
// Whether a disabled item was asked for MF_GRAYED or MF_DISABLED; both disable it here.
const char* const DisabledFlag = "disabledFlag";

QAction* FindIn(const QList<QAction*>& actions, int id)
{
    for (QAction* action : actions) {
        if (QMenu* submenu = action->menu()) {
            if (QAction* found = FindIn(submenu->actions(), id))
                return found;
        } else if (!action->isSeparator() && CommandIdOf(action) == id) {
            return action;
        }
    }
    return nullptr;
}

unsigned StateOf(const QAction* action)
{
    unsigned state = action->isChecked() ? MF_CHECKED : MF_UNCHECKED;
    if (!action->isEnabled())
        state |= action->property(DisabledFlag).isValid() ? action->property(DisabledFlag).toUInt() : MF_GRAYED;
    return state;
}

}  // namespace

int CommandIdOf(const QAction* action)
{
    const QVariant id = action->property(CommandId);
    return id.isValid() ? id.toInt() : 0;
}

int ChosenCommandId(QAction* action)
{
    if (action->isCheckable())
        action->setChecked(!action->isChecked());
    return CommandIdOf(action);
}

void SetCommandId(QAction* action, int id)
{
    action->setProperty(CommandId, id);
}

QAction* NativeMenu::FindCommand(int id) const
{
    return FindIn(widget->actions(), id);
}

Menu::Menu(std::unique_ptr<NativeMenu> native) : m_native(std::move(native))
{
}

Menu::~Menu() = default;

unsigned Menu::EnableMenuItem(int id, unsigned flags)
{
    QAction* action = m_native->FindCommand(id);
    if (!action)
        return MENU_ITEM_MISSING;
    const unsigned previous = StateOf(action) & (MF_GRAYED | MF_DISABLED);
    const unsigned disabled = flags & (MF_GRAYED | MF_DISABLED);
    action->setProperty(DisabledFlag, disabled ? QVariant(disabled) : QVariant());
    action->setEnabled(disabled == 0);
    return previous;
}

unsigned Menu::CheckMenuItem(int id, unsigned flags)
{
    QAction* action = m_native->FindCommand(id);
    if (!action)
        return MENU_ITEM_MISSING;
    const unsigned previous = StateOf(action) & MF_CHECKED;
    // Only a checked item shows a mark, so only a checked item is checkable.
    // Screen readers lose nothing by it: Qt 6.4's AT-SPI bridge passes a menu
    // item's checked state, never that it can be checked.
    const bool checked = (flags & MF_CHECKED) != 0;
    action->setCheckable(checked);
    action->setChecked(checked);
    return previous;
}

unsigned Menu::GetMenuState(int id, unsigned) const
{
    const QAction* action = m_native->FindCommand(id);
    return action ? StateOf(action) : MENU_ITEM_MISSING;
}

bool Menu::AppendMenu(unsigned flags, int id, std::u16string_view text)
{
    if (flags & MF_SEPARATOR) {
        auto* separator = new QAction(m_native->widget);
        separator->setSeparator(true);
        m_native->widget->addAction(separator);
        return true;
    }
    auto* action = new QAction(ToQString(text), m_native->widget);
    SetCommandId(action, id);
    m_native->widget->addAction(action);
    if (flags & (MF_GRAYED | MF_DISABLED))
        EnableMenuItem(id, flags);
    if (flags & MF_CHECKED)
        CheckMenuItem(id, flags);
    return true;
}
