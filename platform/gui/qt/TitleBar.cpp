#include "platform/gui/qt/TitleBar.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolButton>
#include <QWindow>

#include <algorithm>

namespace {

constexpr int Margin = 4;

QColor BarColour(const QPalette& palette, QPalette::ColorGroup group)
{
    return palette.color(group, QPalette::Window).darker(115);
}

// An inactive caption is faded toward the bar, as title bars show it, but
// never so far that it cannot be read: the disabled text colour was 1.2:1.
QColor CaptionColour(const QPalette& palette, QPalette::ColorGroup group)
{
    const QColor text = palette.color(group, QPalette::WindowText);
    if (group == QPalette::Active)
        return text;
    const QColor bar = BarColour(palette, group);
    constexpr double Fade = 0.35;
    return QColor::fromRgbF(static_cast<float>(text.redF() + Fade * (bar.redF() - text.redF())),
                            static_cast<float>(text.greenF() + Fade * (bar.greenF() - text.greenF())),
                            static_cast<float>(text.blueF() + Fade * (bar.blueF() - text.blueF())));
}

}  // namespace

TitleBar::TitleBar(QWidget& window) : QWidget(&window), m_window(window)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(Margin, Margin / 2, Margin / 2, Margin / 2);
    row->setSpacing(Margin / 2);
    row->addStretch();
    // Qt keeps a frame on a window that asks for title bar buttons; the
    // buttons are asked of this bar instead.
    const Qt::WindowFlags flags = window.windowFlags();
    window.setWindowFlags((flags & Qt::WindowType_Mask) | Qt::FramelessWindowHint);
    if (flags & Qt::WindowMinimizeButtonHint)
        AddButton(QStyle::SP_TitleBarMinButton, QStringLiteral("Minimise"), [&window] { window.showMinimized(); });
    if (flags & Qt::WindowMaximizeButtonHint)
        AddButton(QStyle::SP_TitleBarMaxButton, QStringLiteral("Maximise"), [&window] { window.showMaximized(); });
    if (flags & Qt::WindowCloseButtonHint)
        AddButton(QStyle::SP_TitleBarCloseButton, QStringLiteral("Close"), [&window] { window.close(); });
    setFixedHeight(fontMetrics().height() + 3 * Margin);
    // The caption and icon are set after the window is built, and may change.
    window.installEventFilter(this);
}

bool TitleBar::Needed()
{
    return QGuiApplication::platformName().startsWith(QStringLiteral("wayland"));
}

void TitleBar::AddButton(QStyle::StandardPixmap picture, const QString& name, const std::function<void()>& action)
{
    auto* button = new QToolButton(this);
    button->setIcon(style()->standardIcon(picture, nullptr, this));
    button->setAccessibleName(name);
    button->setToolTip(name);
    button->setAutoRaise(true);
    // The keyboard has its own ways to these: Alt+F4, the window's menu.
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QToolButton::clicked, &m_window, action);
    layout()->addWidget(button);
}

void TitleBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const bool active = m_window.isActiveWindow();
    painter.fillRect(rect(), BarColour(palette(), active ? QPalette::Active : QPalette::Inactive));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(rect().bottomLeft(), rect().bottomRight());
    const int iconSize = fontMetrics().height();
    const QRect iconArea(Margin, (height() - iconSize) / 2, iconSize, iconSize);
    m_window.windowIcon().paint(&painter, iconArea);
    // The caption takes what the buttons leave, centred as title bars centre it.
    int buttonsLeft = width();
    for (const QToolButton* button : findChildren<QToolButton*>())
        buttonsLeft = std::min(buttonsLeft, button->x());
    const QRect textArea(iconArea.right() + Margin, 0, buttonsLeft - iconArea.right() - 2 * Margin, height());
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(CaptionColour(palette(), active ? QPalette::Active : QPalette::Inactive));
    const QString caption = QFontMetrics(bold).elidedText(m_window.windowTitle(), Qt::ElideRight, textArea.width());
    painter.drawText(textArea, Qt::AlignCenter, caption);
}

void TitleBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_window.windowHandle())
        m_window.windowHandle()->startSystemMove();
}

bool TitleBar::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::WindowTitleChange:
    case QEvent::WindowIconChange:
    case QEvent::ActivationChange:
        update();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
