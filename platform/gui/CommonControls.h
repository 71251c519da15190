#pragma once

#include "platform/gui/SystemNumbers.h"

#include <cstdint>

struct INITCOMMONCONTROLSEX {
    std::uint32_t dwSize;
    std::uint32_t dwICC;
};

// Registers the control classes named by dwICC; false for a record of the wrong size.
bool InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls);
// The classes registered so far, as ICC_ bits.
std::uint32_t RegisteredCommonControls();
