#include "platform/gui/Paint.h"
#include "platform/gui/Resources.h"
#include "platform/gui/Window.h"

#include <map>

#include "platform/gui/win32/NativeWindow.h"

PaintContext::PaintContext(CWnd& window) : m_painter(new NativePainter)
{
    NativeWindow* native = window.Native();
    if (!native || !native->Handle())
        return;
    m_painter->window = native;
    m_painter->hwnd = native->Handle();
    if (const HDC target = native->PaintTarget()) {
        m_painter->dc = target;
    } else {
        m_painter->dc = BeginPaint(m_painter->hwnd, &m_painter->paint);
        m_painter->begun = true;
    }
    native->SetActivePaint(this, m_painter->dc);
}

PaintContext::~PaintContext()
{
    if (m_painter->window)
        m_painter->window->SetActivePaint(nullptr, nullptr);
    if (m_painter->begun)
        EndPaint(m_painter->hwnd, &m_painter->paint);
    delete m_painter;
}

void PaintContext::DrawIcon(int x, int y, IconHandle icon)
{
    if (m_painter->dc && icon)
        ::DrawIcon(m_painter->dc, x, y, icon->handle);
}

void PaintContext::FillClientWithBackground()
{
    if (!m_painter->dc)
        return;
    RECT client{};
    ::GetClientRect(m_painter->hwnd, &client);
    FillRect(m_painter->dc, &client, GetSysColorBrush(COLOR_3DFACE));
}

// The icon group of the program's own resources, at the system's icon size.
IconHandle LoadIcon(int id)
{
    static std::map<int, Icon> icons;
    if (const auto found = icons.find(id); found != icons.end())
        return &found->second;
    const HICON handle = LoadIconW(ProgramModule(), MAKEINTRESOURCEW(id));
    if (!handle)
        return nullptr;
    return &icons.emplace(id, Icon{handle}).first->second;
}
