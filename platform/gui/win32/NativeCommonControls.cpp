#include <cstdint>

#include <windows.h>
#include <commctrl.h>

bool RegisterNativeCommonControls(std::uint32_t classes)
{
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), classes};
    return InitCommonControlsEx(&controls) != FALSE;
}
