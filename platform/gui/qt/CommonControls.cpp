#include "platform/gui/CommonControls.h"

namespace {
std::uint32_t g_registered = 0;
}

bool InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls)
{
    if (!controls || controls->dwSize != sizeof(INITCOMMONCONTROLSEX))
        return false;
    g_registered |= controls->dwICC;
    return true;
}

std::uint32_t RegisteredCommonControls()
{
    return g_registered;
}
