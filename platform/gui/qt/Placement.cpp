#include "platform/gui/qt/Placement.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMargins>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {

// A dialog that has just ended is hidden while its last message shows; the
// message then belongs to the nearest window still shown.
const QWidget* OwnerOf(const QWidget& window)
{
    for (const QWidget* parent = window.parentWidget(); parent; parent = parent->window()->parentWidget()) {
        if (parent->isVisible())
            return parent->window();
    }
    return nullptr;
}

QScreen* ScreenFor(const QWidget* owner)
{
    if (owner)
        return owner->screen();
    if (QScreen* underCursor = QGuiApplication::screenAt(QCursor::pos()))
        return underCursor;
    return QGuiApplication::primaryScreen();
}

QMargins MarginsOf(const QWidget& window)
{
    const QRect frame = window.frameGeometry();
    const QRect client = window.geometry();
    return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
            frame.bottom() - client.bottom()};
}

// A window not shown yet has no frame; it gets its owner's, which the window
// manager draws alike for both.
QMargins FrameMarginsOf(const QWidget& window, const QWidget* owner)
{
    const QMargins own = MarginsOf(window);
    return own.isNull() && owner ? MarginsOf(*owner) : own;
}

// Qt places a window whose frame it does not know yet by its client area.
void MoveFrameTo(QWidget& window, const QPoint& frameTopLeft, const QMargins& margins)
{
    const bool frameKnown = !MarginsOf(window).isNull();
    window.move(frameKnown ? frameTopLeft : frameTopLeft + QPoint(margins.left(), margins.top()));
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
    const QMargins margins = FrameMarginsOf(window, owner);
    QRect frame(QPoint(), window.size().grownBy(margins));
    const QRect around = owner ? owner->frameGeometry() : area;
    const QPoint margin((around.width() - frame.width()) / 2, (around.height() - frame.height()) / 2);
    frame.moveTopLeft(around.topLeft() + margin);
    MoveFrameTo(window, InsideOf(frame, area).topLeft(), margins);
}

void KeepOnScreen(QWidget& window)
{
    const QWidget* owner = OwnerOf(window);
    if (const QScreen* screen = ScreenFor(owner)) {
        const QMargins margins = FrameMarginsOf(window, owner);
        const QRect frame(window.geometry().marginsAdded(margins));
        MoveFrameTo(window, InsideOf(frame, screen->availableGeometry()).topLeft(), margins);
    }
}

int CaptionWidth(const QWidget& window)
{
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    const QFontMetrics metrics(titleFont);
    // Room beside the text for what title bars hold: the window's icon, up to
    // three buttons and their margins (openbox's need about eight lines' worth).
    return metrics.horizontalAdvance(window.windowTitle()) + 9 * metrics.height();
}
