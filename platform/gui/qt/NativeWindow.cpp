#include "platform/gui/qt/NativeWindow.h"

#include "platform/gui/Menu.h"
#include "platform/gui/SystemNumbers.h"
#include "platform/gui/Window.h"
#include "platform/gui/Resources.h"
#include "platform/gui/ResourceScript.h"
#include "platform/gui/qt/Controls.h"
#include "platform/gui/qt/NativeMenu.h"
#include "platform/gui/qt/QtIcon.h"
#include "platform/gui/qt/QtText.h"
#include "platform/gui/qt/Placement.h"
#include "platform/gui/qt/TitleBar.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

const char* const Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// A dialog face that Linux lacks becomes the closest installed sans-serif
// face, chosen once. The faces are looked up in the list the first paint
// loads anyway: asking fontconfig for each missing face by name cost more
// than the rest of the window.
QString FamilyFor(const QString& face)
{
    static std::map<QString, QString> chosen;
    if (const auto found = chosen.find(face); found != chosen.end())
        return found->second;
    const QStringList installed = QFontDatabase::families();
    QString family = face;
    if (!installed.contains(face, Qt::CaseInsensitive)) {
        for (const char* fallback : {"Microsoft Sans Serif", "Tahoma", "Liberation Sans", "Arimo", "DejaVu Sans"}) {
            if (installed.contains(QLatin1String(fallback), Qt::CaseInsensitive)) {
                family = fallback;
                break;
            }
        }
    }
    return chosen.emplace(face, family).first->second;
}

QFont DialogFont(const DialogTemplate& dialogTemplate)
{
    if (!(dialogTemplate.style & DS_SETFONT))
        return QApplication::font();
    QFont font(FamilyFor(ToQString(dialogTemplate.fontFace)));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(dialogTemplate.fontPointSize);
    if (dialogTemplate.fontWeight > 0)
        font.setWeight(static_cast<QFont::Weight>(dialogTemplate.fontWeight));
    return font;
}

DialogUnits UnitsOf(const QFont& font)
{
    const QFontMetrics metrics(font);
    return DialogUnits(metrics.horizontalAdvance(QString::fromLatin1(Alphabet)), metrics.height());
}

Qt::WindowFlags FlagsOf(const DialogTemplate& dialogTemplate)
{
    Qt::WindowFlags flags = (dialogTemplate.exStyle & WS_EX_APPWINDOW) ? Qt::Window : Qt::Dialog;
    flags |= Qt::CustomizeWindowHint;
    if ((dialogTemplate.style & WS_CAPTION) == WS_CAPTION)
        flags |= Qt::WindowTitleHint;
    if (dialogTemplate.style & WS_SYSMENU)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (dialogTemplate.style & WS_MINIMIZEBOX)
        flags |= Qt::WindowMinimizeButtonHint;
    if (dialogTemplate.style & WS_MAXIMIZEBOX)
        flags |= Qt::WindowMaximizeButtonHint;
    return flags;
}

void AddMenuItems(QWidget* menu, const MenuTemplate& parent)
{
    for (const MenuTemplate& item : parent.items) {
        if (item.flags & MF_SEPARATOR) {
            auto* separator = new QAction(menu);
            separator->setSeparator(true);
            menu->addAction(separator);
        } else if (item.flags & MF_POPUP) {
            auto* popup = new QMenu(ToQString(item.text), menu);
            AddMenuItems(popup, item);
            menu->addAction(popup->menuAction());
        } else {
            auto* action = new QAction(ToQString(item.text), menu);
            SetCommandId(action, item.id);
            menu->addAction(action);
        }
        if (item.id && (item.flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED))) {
            Menu view(std::make_unique<NativeMenu>(NativeMenu{menu}));
            view.EnableMenuItem(item.id, item.flags);
            view.CheckMenuItem(item.id, item.flags);
        }
    }
}

// Screen readers list the controls in the order of the client's children,
// which is the order of the template; a form reads better: what takes no
// focus and names nothing first, top to bottom (banners, the About box's
// lines), then each field in tab order after the text naming it, then the
// buttons. Raising a child moves it to the end of that list, and on top.
void PutInReadingOrder(QWidget& client)
{
    const QList<QWidget*> controls = client.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    std::map<const QWidget*, QLabel*> labelOf;
    std::vector<QWidget*> others;
    std::vector<QWidget*> tabStops;
    for (QWidget* control : controls) {
        auto* label = qobject_cast<QLabel*>(control);
        if (label && label->buddy())
            labelOf[label->buddy()] = label;
        else if (IsTabStop(control))
            tabStops.push_back(control);
        else
            others.push_back(control);
    }
    std::stable_sort(others.begin(), others.end(),
                     [](const QWidget* a, const QWidget* b) { return a->y() < b->y(); });
    std::stable_partition(tabStops.begin(), tabStops.end(),
                          [](const QWidget* control) { return !qobject_cast<const QPushButton*>(control); });
    for (QWidget* other : others)
        other->raise();
    for (QWidget* control : tabStops) {
        if (const auto found = labelOf.find(control); found != labelOf.end())
            found->second->raise();
        control->raise();
    }
}

}  // namespace

// The client area: where the dialog's controls live and where WM_PAINT draws.
class NativeWindow::Client final : public QWidget {
public:
    explicit Client(NativeWindow& window) : QWidget(&window), m_window(window) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        m_window.BeginPaint(&painter);
        m_window.Window().SendMessage(WM_PAINT);
        m_window.EndPaint();
    }

private:
    NativeWindow& m_window;
};

NativeWindow::NativeWindow(CWnd& window, const DialogTemplate& dialogTemplate, QWidget* owner)
    : QDialog(owner, FlagsOf(dialogTemplate)),
      m_window(window),
      m_font(DialogFont(dialogTemplate)),
      m_units(UnitsOf(m_font)),
      m_client(new Client(*this)),
      m_defaultButton(IDOK),
      m_painter(std::make_unique<NativePainter>())
{
    // A dialog is not the "last window" whose closing would quit the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(ToQString(dialogTemplate.caption));
    setFont(m_font);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    if (TitleBar::Needed() && (windowFlags() & Qt::WindowTitleHint)) {
        m_titleBar = new TitleBar(*this);
        layout->addWidget(m_titleBar);
    }
    if (dialogTemplate.menu)
        BuildMenuBar(dialogTemplate.menu);
    m_client->setFixedSize(m_units.ToPixelsX(dialogTemplate.width), m_units.ToPixelsY(dialogTemplate.height));
    layout->addWidget(m_client);
    BuildControls(dialogTemplate);
}

NativeWindow::~NativeWindow() = default;

void NativeWindow::BuildMenuBar(int menuId)
{
    const MenuTemplate* menuTemplate = FindMenuTemplate(menuId);
    if (!menuTemplate)
        return;
    auto* bar = new QMenuBar(this);
    // Menus use the system's font, not the dialog's.
    bar->setFont(QApplication::font());
    AddMenuItems(bar, *menuTemplate);
    connect(bar, &QMenuBar::triggered, this, [this](QAction* action) {
        m_window.SendMessage(WM_COMMAND, static_cast<std::uintptr_t>(ChosenCommandId(action)));
    });
    // The layout's menu bar would sit above a title bar of the window's own.
    if (m_titleBar)
        layout()->addWidget(bar);
    else
        layout()->setMenuBar(bar);
    // The bar keeps the keyboard after a menu was used from it, in a window
    // without controls to hand it back to; the window's keys must still work.
    bar->installEventFilter(this);
    m_menuBar = std::make_unique<Menu>(std::make_unique<NativeMenu>(NativeMenu{bar}));
}

void NativeWindow::BuildControls(const DialogTemplate& dialogTemplate)
{
    QWidget* previousTabStop = nullptr;
    QLabel* labelWithoutBuddy = nullptr;
    for (const ControlTemplate& control : dialogTemplate.controls) {
        QWidget* widget = CreateControl(control, m_units, m_client);
        if (control.id != -1 && control.id != 0xFFFF)
            m_controls.emplace(control.id, widget);
        widget->installEventFilter(this);
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            if (button->isDefault())
                m_defaultButton = control.id;
            connect(button, &QPushButton::clicked, this,
                    [this, id = control.id] { m_window.SendMessage(WM_COMMAND, static_cast<std::uintptr_t>(id)); });
        }
        // A text names the edit that follows it, and its mnemonic moves the
        // focus to whatever control follows; a button bears its own name.
        if (labelWithoutBuddy && widget->focusPolicy() != Qt::NoFocus) {
            if (!qobject_cast<QPushButton*>(widget) || !QKeySequence::mnemonic(labelWithoutBuddy->text()).isEmpty())
                labelWithoutBuddy->setBuddy(widget);
            labelWithoutBuddy = nullptr;
        }
        auto* label = qobject_cast<QLabel*>(widget);
        if (label && label->pixmap().isNull() && !(control.style & SS_NOPREFIX))
            labelWithoutBuddy = label;
        if (IsTabStop(widget)) {
            if (previousTabStop)
                setTabOrder(previousTabStop, widget);
            previousTabStop = widget;
        }
    }
    PutInReadingOrder(*m_client);
}

QWidget* NativeWindow::Control(int id) const
{
    const auto found = m_controls.find(id);
    return found == m_controls.end() ? nullptr : found->second;
}

Menu* NativeWindow::SystemMenu(bool revert)
{
    if (revert || !m_systemMenu) {
        auto* menu = new QMenu(this);
        m_systemMenu = std::make_unique<Menu>(std::make_unique<NativeMenu>(NativeMenu{menu}));
        m_systemMenu->AppendMenu(MF_STRING, SC_MOVE, u"&Move");
        m_systemMenu->AppendMenu(MF_SEPARATOR);
        m_systemMenu->AppendMenu(MF_STRING, SC_CLOSE, u"&Close\tAlt+F4");
    }
    return revert ? nullptr : m_systemMenu.get();
}

void NativeWindow::ShowSystemMenu()
{
    auto* menu = static_cast<QMenu*>(SystemMenu(false)->Native().widget);
    if (QAction* chosen = menu->exec(m_client->mapToGlobal(QPoint(0, 0))))
        m_window.SendMessage(WM_SYSCOMMAND, static_cast<std::uintptr_t>(ChosenCommandId(chosen)));
}

void NativeWindow::FocusFirstTabStop()
{
    for (QWidget* widget : m_client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (IsTabStop(widget) && widget->isEnabled() && !widget->isHidden()) {
            widget->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void NativeWindow::PlaceOver(const NativeWindow& owner, int x, int y)
{
    m_placedByTemplate = true;
    move(owner.ClientArea()->mapToGlobal(QPoint(m_units.ToPixelsX(x), m_units.ToPixelsY(y))));
}

const Icon* NativeWindow::SetIcon(int which, const Icon* icon)
{
    const int slot = which == ICON_BIG ? 1 : 0;
    const Icon* previous = m_icons[slot];
    m_icons[slot] = icon;
    // One icon in both places, as a dialog mostly sets it, is the window's
    // as it is: its pictures are decoded only when the window system asks.
    if (m_icons[0] == m_icons[1] || !m_icons[0] || !m_icons[1]) {
        const Icon* only = m_icons[1] ? m_icons[1] : m_icons[0];
        setWindowIcon(only ? only->icon : QIcon());
        return previous;
    }
    QIcon windowIcon;
    for (const Icon* each : m_icons) {
        for (const QSize& size : each ? each->icon.availableSizes() : QList<QSize>())
            windowIcon.addPixmap(each->icon.pixmap(size));
    }
    setWindowIcon(windowIcon);
    return previous;
}

const Icon* NativeWindow::GetIcon(int which) const
{
    return m_icons[which == ICON_BIG ? 1 : 0];
}

void NativeWindow::BeginPaint(QPainter* painter)
{
    m_painter->painter = painter;
    m_painter->target = m_client;
}

void NativeWindow::EndPaint()
{
    m_painter->painter = nullptr;
}

int NativeWindow::EnterCommand() const
{
    // Enter presses the focused push button, or else the default one.
    if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && ControlIdOf(button))
        return ControlIdOf(button);
    return m_defaultButton;
}

// The keys that a dialog takes before its controls see them.
bool NativeWindow::HandleDialogKey(const QKeyEvent& event)
{
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    const auto send = [this](unsigned message, int id, std::intptr_t lParam = 0) {
        m_window.SendMessage(message, static_cast<std::uintptr_t>(id), lParam);
        return true;
    };
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return modifiers == Qt::NoModifier && send(WM_COMMAND, EnterCommand());
    case Qt::Key_Escape:
        return modifiers == Qt::NoModifier && send(WM_COMMAND, IDCANCEL);
    case Qt::Key_F1:
        return modifiers == Qt::NoModifier && send(WM_COMMAND, ID_HELP);
    case Qt::Key_F4:
        return modifiers == Qt::AltModifier && send(WM_SYSCOMMAND, SC_CLOSE);
    case Qt::Key_Space:
        return modifiers == Qt::AltModifier && send(WM_SYSCOMMAND, SC_KEYMENU, ' ');
    default:
        return false;
    }
}

bool NativeWindow::eventFilter(QObject* watched, QEvent* event)
{
    // While the menu bar highlights an item, its keys are its own.
    const auto* bar = qobject_cast<QMenuBar*>(watched);
    if (bar && bar->activeAction())
        return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress && HandleDialogKey(static_cast<QKeyEvent&>(*event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

void NativeWindow::keyPressEvent(QKeyEvent* event)
{
    // QDialog's own handling would reject or click behind the tables' back.
    if (!HandleDialogKey(*event))
        event->ignore();
}

void NativeWindow::closeEvent(QCloseEvent* event)
{
    // The close box is a system command, whose default handling ends in IDCANCEL.
    event->ignore();
    m_window.SendMessage(WM_SYSCOMMAND, SC_CLOSE);
}

void NativeWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (std::exchange(m_shownBefore, true))
        return;
    if (m_placedByTemplate)
        KeepOnScreen(*this);
    else
        CentreWindow(*this);
}

void NativeWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowStateChange)
        m_client->update();
    QDialog::changeEvent(event);
}
