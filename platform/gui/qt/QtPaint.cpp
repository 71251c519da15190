#include "platform/gui/Paint.h"
#include "platform/gui/Resources.h"
#include "platform/gui/Window.h"
#include "platform/gui/qt/NativeWindow.h"
#include "platform/gui/qt/QtIcon.h"
#include "platform/gui/qt/ArtIcon.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QStyle>

#include <map>
#include <memory>
#include <utility>

int GetSystemMetrics(int index)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    switch (index) {
    case SM_CXSCREEN:
        return screen ? screen->size().width() : 0;
    case SM_CYSCREEN:
        return screen ? screen->size().height() : 0;
    case SM_CXICON:
    case SM_CYICON:
        return QApplication::style()->pixelMetric(QStyle::PM_LargeIconSize);
    default:
        return 0;
    }
}

PaintContext::PaintContext(CWnd& window)
    : m_painter(window.Native() ? window.Native()->Painter() : nullptr)
{
}

PaintContext::~PaintContext() = default;

void PaintContext::DrawIcon(int x, int y, IconHandle icon)
{
    if (!m_painter || !m_painter->painter || !icon)
        return;
    const QRect area(x, y, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    icon->icon.paint(m_painter->painter, area);
}

void PaintContext::FillClientWithBackground()
{
    if (!m_painter || !m_painter->painter)
        return;
    m_painter->painter->fillRect(m_painter->target->rect(), m_painter->target->palette().window());
}

IconHandle LoadIcon(int id)
{
    // Icons are shared and live as long as the program, as the caller expects.
    static std::map<int, std::unique_ptr<Icon>> icons;
    if (const auto found = icons.find(id); found != icons.end())
        return found->second.get();
    QIcon icon = LoadArtIcon(id);
    if (icon.isNull())
        return nullptr;
    return icons.emplace(id, std::make_unique<Icon>(Icon{std::move(icon)})).first->second.get();
}
