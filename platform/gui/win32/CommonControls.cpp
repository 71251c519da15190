#include "platform/gui/CommonControls.h"

// In a source of its own: commctrl.h declares the same record under the same name.
bool RegisterNativeCommonControls(std::uint32_t classes);

namespace {
std::uint32_t g_registered = 0;
}

bool InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls)
{
    if (!controls || controls->dwSize != sizeof(INITCOMMONCONTROLSEX))
        return false;
    if (!RegisterNativeCommonControls(controls->dwICC))
        return false;
    g_registered |= controls->dwICC;
    return true;
}

std::uint32_t RegisteredCommonControls()
{
    return g_registered;
}
