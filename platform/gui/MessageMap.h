#pragma once

#include <cstdint>
#include <initializer_list>
#include <variant>
#include <vector>

#include "platform/gui/Backend.h"

class CCmdTarget;
using IconHandle = const Icon*;

// One row of a class's message table: a window message, the command id for
// WM_COMMAND (other messages match whatever their arguments), and the handler.
class MessageEntry {
public:
    using Action = void (CCmdTarget::*)();
    using SysCommand = void (CCmdTarget::*)(unsigned, std::intptr_t);
    using IconQuery = IconHandle (CCmdTarget::*)();

    template <class Target>
    MessageEntry(unsigned message, int id, void (Target::*handler)())
        : m_message(message), m_id(id), m_handler(static_cast<Action>(handler)) {}
    template <class Target>
    MessageEntry(unsigned message, int id, void (Target::*handler)(unsigned, std::intptr_t))
        : m_message(message), m_id(id), m_handler(static_cast<SysCommand>(handler)) {}
    template <class Target>
    MessageEntry(unsigned message, int id, IconHandle (Target::*handler)())
        : m_message(message), m_id(id), m_handler(static_cast<IconQuery>(handler)) {}

    bool Matches(unsigned message, int id) const;
    std::intptr_t Invoke(CCmdTarget& target, std::uintptr_t wParam, std::intptr_t lParam) const;

private:
    unsigned m_message;
    int m_id;
    std::variant<Action, SysCommand, IconQuery> m_handler;
};

// A class's table, searched before the table of its base class.
class MessageMap {
public:
    MessageMap(const MessageMap* base, std::initializer_list<MessageEntry> entries);

    const MessageEntry* Find(unsigned message, int id) const;

private:
    const MessageMap* m_base;
    std::vector<MessageEntry> m_entries;
};
