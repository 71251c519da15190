#pragma once

#include "platform/gui/MessageMap.h"

// Base of every object with a message table: the windows and the application.
class CCmdTarget {
public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    virtual ~CCmdTarget() = default;

    // Runs the handler that this object's tables have for the message, if any.
    bool OnCmdMsg(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                  std::intptr_t* result = nullptr);

protected:
    virtual const MessageMap& GetMessageMap() const { return messageMap; }
    static const MessageMap messageMap;
};
