#pragma once

#include "platform/gui/SystemNumbers.h"

#include "platform/gui/Backend.h"
#include "platform/gui/MessageMap.h"

#include <cstdint>

class CWnd;

#ifdef _WIN32
// Windows has this very function, with these numbers: the program calls the system's.
extern "C" __declspec(dllimport) int __stdcall GetSystemMetrics(int index);
#else
int GetSystemMetrics(int index);
#endif

// Painting of one window, from construction to destruction, inside WM_PAINT.
class PaintContext {
public:
    explicit PaintContext(CWnd& window);
    ~PaintContext();
    PaintContext(const PaintContext&) = delete;
    PaintContext& operator=(const PaintContext&) = delete;

    // What messages such as WM_ICONERASEBKGND carry to name this context.
    std::uintptr_t Handle() const { return reinterpret_cast<std::uintptr_t>(this); }
    static PaintContext* FromHandle(std::uintptr_t handle) { return reinterpret_cast<PaintContext*>(handle); }

    // Draws the icon at its system size (SM_CXICON x SM_CYICON), top left at x, y.
    void DrawIcon(int x, int y, IconHandle icon);
    void FillClientWithBackground();

private:
    NativePainter* m_painter;
};
