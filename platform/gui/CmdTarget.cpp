#include "platform/gui/CmdTarget.h"

#include "platform/gui/SystemNumbers.h"

const MessageMap CCmdTarget::messageMap{nullptr, {}};

bool CCmdTarget::OnCmdMsg(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t* result)
{
    // WM_COMMAND carries the command id in the low word of wParam.
    const int id = message == WM_COMMAND ? static_cast<int>(wParam & 0xFFFF) : 0;
    const MessageEntry* entry = GetMessageMap().Find(message, id);
    if (!entry)
        return false;
    const std::intptr_t value = entry->Invoke(*this, wParam, lParam);
    if (result)
        *result = value;
    return true;
}
