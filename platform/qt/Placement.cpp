#include "platform/qt/Placement.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {

const QWidget* OwnerOf(const QWidget& window)
{
    const QWidget* parent = window.parentWidget();
    return parent && parent->isVisible() ? parent->window() : nullptr;
}

QScreen* ScreenFor(const QWidget* owner)
{
    if (owner)
        return owner->screen();
    if (QScreen* underCursor = QGuiApplication::screenAt(QCursor::pos()))
        return underCursor;
    return QGuiApplication::primaryScreen();
}

// A window not shown yet has no frame; it gets its owner's, which the window
// manager draws alike for both.
QSize FrameSizeOf(const QWidget& window, const QWidget* owner)
{
    const QSize frame = window.frameGeometry().size();
    if (frame != window.size() || !owner)
        return frame;
    return window.size() + (owner->frameGeometry().size() - owner->size());
}

QRect InsideOf(QRect frame, const QRect& area)
{
    frame.moveRight(std::min(frame.right(), area.right()));
    frame.moveBottom(std::min(frame.bottom(), area.bottom()));
    // A window larger than the screen shows its top left corner.
    frame.moveLeft(std::max(frame.left(), area.left()));
    frame.moveTop(std::max(frame.top(), area.top()));
    return frame;
}

}  // namespace

void CentreWindow(QWidget& window)
{
    const QWidget* owner = OwnerOf(window);
    const QScreen* screen = ScreenFor(owner);
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    QRect frame(QPoint(), FrameSizeOf(window, owner));
    const QRect around = owner ? owner->frameGeometry() : area;
    frame.moveTopLeft(around.topLeft() + QPoint((around.width() - frame.width()) / 2, (around.height() - frame.height()) / 2));
    window.move(InsideOf(frame, area).topLeft());
}

void KeepOnScreen(QWidget& window)
{
    if (const QScreen* screen = ScreenFor(OwnerOf(window)))
        window.move(InsideOf(QRect(window.pos(), FrameSizeOf(window, OwnerOf(window))), screen->availableGeometry()).topLeft());
}

int CaptionWidth(const QWidget& window)
{
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    const QFontMetrics metrics(titleFont);
    // Room beside the text for what title bars hold: the window's icon, its
    // buttons and their margins.
    return metrics.horizontalAdvance(window.windowTitle()) + 9 * metrics.height();
}
