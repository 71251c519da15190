#include "platform/gui/MessageMap.h"

#include "platform/gui/CmdTarget.h"
#include "platform/gui/SystemNumbers.h"

bool MessageEntry::Matches(unsigned message, int id) const
{
    return m_message == message && (message != WM_COMMAND || m_id == id);
}

std::intptr_t MessageEntry::Invoke(CCmdTarget& target, std::uintptr_t wParam, std::intptr_t lParam) const
{
    struct Call {
        CCmdTarget& target;
        std::uintptr_t wParam;
        std::intptr_t lParam;

        std::intptr_t operator()(Action handler) const
        {
            (target.*handler)();
            return 0;
        }
        std::intptr_t operator()(SysCommand handler) const
        {
            (target.*handler)(static_cast<unsigned>(wParam), lParam);
            return 0;
        }
        std::intptr_t operator()(IconQuery handler) const
        {
            return reinterpret_cast<std::intptr_t>((target.*handler)());
        }
    };
    return std::visit(Call{target, wParam, lParam}, m_handler);
}

MessageMap::MessageMap(const MessageMap* base, std::initializer_list<MessageEntry> entries)
    : m_base(base), m_entries(entries)
{
}

const MessageEntry* MessageMap::Find(unsigned message, int id) const
{
    for (const MessageMap* map = this; map; map = map->m_base) {
        for (const MessageEntry& entry : map->m_entries) {
            if (entry.Matches(message, id))
                return &entry;
        }
    }
    return nullptr;
}
