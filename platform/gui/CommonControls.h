#pragma once

#include <cstdint>

constexpr std::uint32_t ICC_WIN95_CLASSES = 0xFF;

struct INITCOMMONCONTROLSEX {
    std::uint32_t dwSize;
    std::uint32_t dwICC;
};

// Registers the control classes named by dwICC; false for a record of the wrong size.
bool InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls);
// The classes registered so far, as ICC_ bits.
std::uint32_t RegisteredCommonControls();
