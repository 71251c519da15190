#include "platform/gui/qt/Controls.h"

#include "platform/gui/DialogUnits.h"
#include "platform/gui/Resources.h"
#include "platform/gui/ResourceScript.h"
#include "platform/gui/Unicode.h"
#include "platform/gui/SystemNumbers.h"
#include "platform/gui/qt/QtText.h"
#include "platform/gui/qt/ScaledArt.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QValidator>

#include <cmath>
#include <limits>
#include <optional>
#include <stdexcept>
#include <utility>

namespace {

const char* const ControlId = "controlId";
const char* const TabStop = "tabStop";

// An edit without automatic scrolling takes no more text than it can show.
class FitsWidthValidator final : public QValidator {
public:
    explicit FitsWidthValidator(QLineEdit& edit) : QValidator(&edit), m_edit(edit) {}

    State validate(QString& input, int&) const override
    {
        const QString shown = m_edit.echoMode() == QLineEdit::Normal ? input : QString(input.size(), QChar(0x25CF));
        const int room = m_edit.contentsRect().width() - 4;
        return m_edit.fontMetrics().horizontalAdvance(shown) <= room ? Acceptable : Invalid;
    }

private:
    QLineEdit& m_edit;
};

// A white rectangle is the window colour of the system's scheme: white in a
// light one, dark in a dark one. In Qt that is a palette's Base.
constexpr QPalette::ColorRole WhiteRectangleColour = QPalette::Base;

// Whether light text reads better than dark text on that colour: below the
// luminance where black and white stand out from it alike.
bool IsDark(const QColor& colour)
{
    const auto linear = [](float channel) {
        return channel <= 0.04045f ? channel / 12.92f : std::pow((channel + 0.055f) / 1.055f, 2.4f);
    };
    const double luminance =
        0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
    return luminance < 0.179;
}

// A bitmap static. It shows the art drawn for the screen's scale, pixel for
// pixel; only a scale that has none of its own is smoothed from a finer one.
// On a dark window it shows the art drawn for one, where the resource has it.
class BitmapLabel final : public QLabel {
public:
    BitmapLabel(int id, QWidget* parent) : QLabel(parent), m_id(id), m_art(id, "BMP") { setPixmap(m_art.Base()); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const qreal ratio = devicePixelRatioF();
        const QPixmap picture = ArtForBackdrop().ForRatio(ratio);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, std::abs(picture.devicePixelRatio() - ratio) > 0.01);
        painter.drawPixmap(QPointF(0, 0), picture);
    }

private:
    // Decoded only once a dark palette asks for it.
    const ScaledArt& ArtForBackdrop()
    {
        if (!IsDark(palette().color(WhiteRectangleColour)))
            return m_art;
        if (!m_darkArt)
            m_darkArt.emplace(m_id, "PNG", ArtBackdrop::Dark);
        return m_darkArt->IsNull() ? m_art : *m_darkArt;
    }

    int m_id;
    ScaledArt m_art;
    std::optional<ScaledArt> m_darkArt;
};

[[noreturn]] void Unsupported(const ControlTemplate& control, const char* what)
{
    throw std::runtime_error("The window cannot be shown: its control " + std::to_string(control.id) + " is "
                             + what + ", which this platform does not provide.");
}

QWidget* CreateButton(const ControlTemplate& control, QWidget* parent)
{
    const std::uint32_t type = control.style & BS_TYPEMASK;
    if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON)
        Unsupported(control, "a kind of button");
    auto* button = new QPushButton(ToQString(control.text), parent);
    // Enter is the dialog's to route, never the focused button's own.
    button->setAutoDefault(false);
    button->setDefault(type == BS_DEFPUSHBUTTON);
    return button;
}

QWidget* CreateEdit(const ControlTemplate& control, QWidget* parent)
{
    if (control.style & ES_MULTILINE)
        Unsupported(control, "a multi-line edit");
    auto* edit = new QLineEdit(ToQString(control.text), parent);
    edit->setMaxLength(MaximumEditLength);
    edit->setFrame((control.style & WS_BORDER) != 0);
    edit->setReadOnly((control.style & ES_READONLY) != 0);
    if (control.style & ES_PASSWORD)
        edit->setEchoMode(QLineEdit::Password);
    if (control.style & ES_CENTER)
        edit->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    else if (control.style & ES_RIGHT)
        edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (!(control.style & ES_AUTOHSCROLL))
        edit->setValidator(new FitsWidthValidator(*edit));
    return edit;
}

QWidget* CreateStatic(const ControlTemplate& control, QWidget* parent)
{
    const std::uint32_t type = control.style & SS_TYPEMASK;
    if (type == SS_WHITERECT) {
        auto* rectangle = new QWidget(parent);
        rectangle->setBackgroundRole(WhiteRectangleColour);
        rectangle->setAutoFillBackground(true);
        return rectangle;
    }
    if (type == SS_BITMAP) {
        auto* bitmap = new BitmapLabel(control.textResource, parent);
        // The program's art shows its name: a screen reader says so rather than "image".
        bitmap->setAccessibleName(QCoreApplication::applicationName());
        return bitmap;
    }
    auto* label = new QLabel(parent);
    if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_LEFTNOWORDWRAP)
        Unsupported(control, "a kind of static control");
    label->setTextFormat(Qt::PlainText);
    label->setText(ToQString(control.text));
    label->setWordWrap(type != SS_LEFTNOWORDWRAP);
    const Qt::Alignment horizontal = type == SS_CENTER ? Qt::AlignHCenter : type == SS_RIGHT ? Qt::AlignRight : Qt::AlignLeft;
    label->setAlignment(horizontal | Qt::AlignTop);
    return label;
}

QWidget* CreateByClass(const ControlTemplate& control, QWidget* parent)
{
    const std::string name = Utf16ToUtf8(control.className);
    auto is = [&name](std::string_view className) {
        return name.size() == className.size()
               && std::equal(name.begin(), name.end(), className.begin(),
                             [](char a, char b) { return std::tolower(a) == std::tolower(b); });
    };
    if (is("Button"))
        return CreateButton(control, parent);
    if (is("Edit"))
        return CreateEdit(control, parent);
    if (is("Static"))
        return CreateStatic(control, parent);
    Unsupported(control, ("of the class " + name).c_str());
}

}  // namespace

QWidget* CreateControl(const ControlTemplate& control, const DialogUnits& units, QWidget* parent)
{
    QWidget* widget = CreateByClass(control, parent);
    widget->setProperty(ControlId, control.id);
    const bool tabStop = (control.style & WS_TABSTOP) != 0;
    widget->setProperty(TabStop, tabStop);
    const bool takesFocus = qobject_cast<QPushButton*>(widget) || qobject_cast<QLineEdit*>(widget);
    widget->setFocusPolicy(!takesFocus ? Qt::NoFocus : tabStop ? Qt::StrongFocus : Qt::ClickFocus);

    const QRect area(units.ToPixelsX(control.x), units.ToPixelsY(control.y), units.ToPixelsX(control.width),
                     units.ToPixelsY(control.height));
    const auto* label = qobject_cast<QLabel*>(widget);
    // A bitmap static takes the size of its bitmap.
    if (label && !label->pixmap().isNull())
        widget->setGeometry(QRect(area.topLeft(), label->pixmap().deviceIndependentSize().toSize()));
    else
        widget->setGeometry(area);
    widget->setEnabled(!(control.style & WS_DISABLED));
    widget->setVisible((control.style & WS_VISIBLE) != 0);
    return widget;
}

int ControlIdOf(const QWidget* widget)
{
    const QVariant id = widget ? widget->property(ControlId) : QVariant();
    return id.isValid() ? id.toInt() : 0;
}

bool IsTabStop(const QWidget* widget)
{
    return widget->property(TabStop).toBool();
}
