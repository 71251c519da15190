#include "tools/driver/Driver.h"
#include "tools/driver/ProgramThread.h"

#include "platform/gui/Dialog.h"
#include "platform/gui/Menu.h"
#include "platform/gui/WinApp.h"
#include "platform/gui/qt/Controls.h"
#include "platform/gui/qt/NativeMenu.h"
#include "platform/gui/qt/NativeWindow.h"
#include "platform/gui/qt/QtText.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

// Posted events run in whichever event loop the program is in, modal ones included.
void PostToProgram(std::function<void()> task)
{
    QMetaObject::invokeMethod(qApp, std::move(task), Qt::QueuedConnection);
}

namespace {

QWidget* TopWindow()
{
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup;
    return QApplication::activeModalWidget();
}

NativeWindow* MainNativeWindow()
{
    const CWinApp* app = CWinApp::Instance();
    const CWnd* window = app ? app->GetMainWindow() : nullptr;
    return window ? window->Native() : nullptr;
}

QWidget* ControlOfActive(int controlId)
{
    auto* window = dynamic_cast<NativeWindow*>(QApplication::activeModalWidget());
    return window ? window->Control(controlId) : nullptr;
}

QWidget* FocusTarget()
{
    QWidget* window = TopWindow();
    if (!window)
        return nullptr;
    QWidget* focus = window->focusWidget();
    return focus ? focus : window;
}

BoxIcon IconOf(QMessageBox::Icon icon)
{
    switch (icon) {
    case QMessageBox::Critical:
        return BoxIcon::Error;
    case QMessageBox::Warning:
        return BoxIcon::Warning;
    case QMessageBox::Information:
        return BoxIcon::Information;
    case QMessageBox::Question:
        return BoxIcon::Question;
    default:
        return BoxIcon::None;
    }
}

// Ends the window on top the way that cannot be refused.
void CloseTopWindow()
{
    QWidget* window = TopWindow();
    if (auto* menu = qobject_cast<QMenu*>(window))
        menu->close();
    else if (auto* box = qobject_cast<QMessageBox*>(window))
        box->done(QMessageBox::Ok);
    else if (auto* dialog = dynamic_cast<NativeWindow*>(window))
        static_cast<CDialog&>(dialog->Window()).EndModal(-1);
    else if (window)
        window->close();
}

}  // namespace

struct Driver::State {
    std::atomic<bool> running{false};
};

Driver::Driver() : m_state(std::make_shared<State>())
{
}

Driver::~Driver() = default;

void Driver::Run(const std::function<void()>& program, const std::function<void(Driver&)>& script)
{
    m_state->running = true;
    std::atomic<bool> scriptDone{false};
    std::thread scriptThread([&] {
        try {
            script(*this);
        } catch (const ProgramNotAnswering&) {
        }
        try {
            for (int attempt = 0; attempt < 50 && IsRunning(); ++attempt)
                Act(CloseTopWindow);
        } catch (const ProgramNotAnswering&) {
        }
        scriptDone = true;
        QMetaObject::invokeMethod(qApp, [] {}, Qt::QueuedConnection);
    });
    program();
    m_state->running = false;
    // Keep answering the script's questions until it is done.
    while (!scriptDone)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    scriptThread.join();
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(IsRunning()) << "the program did not end";
}

bool Driver::IsRunning() const
{
    return m_state->running;
}

bool Driver::Choose(int commandId)
{
    const bool enabled = OnGuiThread([commandId] {
        NativeWindow* window = MainNativeWindow();
        // Another modal window or a pop-up takes all input while it is open.
        if (!window || QApplication::activeModalWidget() != window || QApplication::activePopupWidget())
            return false;
        const QAction* action = window->MenuBar()->Native().FindCommand(commandId);
        return action && action->isEnabled();
    });
    if (!enabled)
        return false;
    Act([commandId] {
        const NativeWindow* window = MainNativeWindow();
        if (QAction* action = window ? window->MenuBar()->Native().FindCommand(commandId) : nullptr)
            action->trigger();
    });
    return true;
}

bool Driver::ChooseSystemMenu(int commandId)
{
    Press(Key::AltSpace);
    const bool found = OnGuiThread([commandId] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        return menu && NativeMenu{menu}.FindCommand(commandId);
    });
    Act([commandId, found] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        if (!found) {
            menu->close();
            return;
        }
        menu->setActiveAction(NativeMenu{menu}.FindCommand(commandId));
        QTest::keyClick(menu, Qt::Key_Return);
    });
    return found;
}

void Driver::Press(Key key)
{
    Act([key] {
        QWidget* target = FocusTarget();
        if (!target)
            return;
        switch (key) {
        case Key::Enter:
            QTest::keyClick(target, Qt::Key_Return);
            break;
        case Key::Escape:
            QTest::keyClick(target, Qt::Key_Escape);
            break;
        case Key::Tab:
            QTest::keyClick(target, Qt::Key_Tab);
            break;
        case Key::Space:
            QTest::keyClick(target, Qt::Key_Space);
            break;
        case Key::AltF4:
            QTest::keyClick(target, Qt::Key_F4, Qt::AltModifier);
            break;
        case Key::AltSpace:
            QTest::keyClick(target, Qt::Key_Space, Qt::AltModifier);
            break;
        case Key::F1:
            QTest::keyClick(target, Qt::Key_F1);
            break;
        }
    });
}

void Driver::Click(int controlId)
{
    Act([controlId] {
        if (auto* button = qobject_cast<QPushButton*>(ControlOfActive(controlId)))
            button->click();
        else
            ADD_FAILURE() << "no button " << controlId << " in the active window";
    });
}

void Driver::Type(int controlId, std::u16string_view text)
{
    Act([controlId, text = std::u16string(text)] {
        auto* edit = qobject_cast<QLineEdit*>(ControlOfActive(controlId));
        if (!edit) {
            ADD_FAILURE() << "no edit " << controlId << " in the active window";
            return;
        }
        edit->setFocus(Qt::MouseFocusReason);
        edit->selectAll();
        edit->insert(ToQString(text));
    });
}

void Driver::CloseBox()
{
    Act([] {
        if (QWidget* window = TopWindow())
            window->close();
    });
}

void Driver::Dismiss()
{
    Act([] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box)
            box->button(QMessageBox::Ok)->click();
        else
            ADD_FAILURE() << "no message box to dismiss";
    });
}

void Driver::Call(const std::function<void()>& code)
{
    Act(code);
}

CDialog* Driver::ActiveDialog()
{
    return OnGuiThread([]() -> CDialog* {
        auto* window = dynamic_cast<NativeWindow*>(QApplication::activeModalWidget());
        return window ? dynamic_cast<CDialog*>(&window->Window()) : nullptr;
    });
}

std::optional<MessageBoxView> Driver::ActiveMessageBox()
{
    return OnGuiThread([]() -> std::optional<MessageBoxView> {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return std::nullopt;
        MessageBoxView view;
        view.text = ToU16String(box->text());
        view.caption = ToU16String(box->windowTitle());
        view.icon = IconOf(box->icon());
        if (const QWidget* owner = box->parentWidget()) {
            view.ownerCaption = ToU16String(owner->windowTitle());
            view.ownerVisible = owner->isVisible();
        }
        return view;
    });
}

std::u16string Driver::Text(int controlId)
{
    return OnGuiThread([controlId] {
        auto* window = dynamic_cast<NativeWindow*>(QApplication::activeModalWidget());
        return window ? window->Window().GetDlgItemText(controlId) : std::u16string();
    });
}

bool Driver::IsMasked(int controlId)
{
    return OnGuiThread([controlId] {
        const auto* edit = qobject_cast<QLineEdit*>(ControlOfActive(controlId));
        return edit && edit->echoMode() != QLineEdit::Normal;
    });
}

int Driver::FocusedControl()
{
    return OnGuiThread([] { return ControlIdOf(QApplication::activeModalWidget() ? QApplication::activeModalWidget()->focusWidget() : nullptr); });
}

unsigned Driver::MenuState(int commandId)
{
    return OnGuiThread([commandId] {
        const Menu* menu = MainWindowMenu();
        return menu ? menu->GetMenuState(commandId, MF_BYCOMMAND) : MENU_ITEM_MISSING;
    });
}

std::u16string Driver::SystemMenuText()
{
    return OnGuiThread([] {
        NativeWindow* window = MainNativeWindow();
        Menu* menu = window ? window->SystemMenu(false) : nullptr;
        QString text;
        for (const QAction* action : menu ? menu->Native().widget->actions() : QList<QAction*>())
            text += (action->isSeparator() ? QStringLiteral("-") : action->text()) + u'\n';
        return ToU16String(text);
    });
}

Placement Driver::ActivePlacement()
{
    return OnGuiThread([] {
        const auto rectOf = [](const QRect& r) { return Rect{r.left(), r.top(), r.right() + 1, r.bottom() + 1}; };
        Placement placement;
        const QWidget* window = QApplication::activeModalWidget();
        if (!window)
            return placement;
        placement.window = rectOf(window->frameGeometry());
        if (const QWidget* owner = window->parentWidget())
            placement.owner = rectOf(owner->window()->frameGeometry());
        placement.screen = rectOf(window->screen()->availableGeometry());
        // A bold caption beside an icon and a close button of its height.
        QFont titleFont = QApplication::font();
        titleFont.setBold(true);
        const QFontMetrics metrics(titleFont);
        placement.captionWidth = metrics.horizontalAdvance(window->windowTitle()) + 3 * metrics.height();
        return placement;
    });
}

void Driver::Screenshot(const std::string& path)
{
    OnGuiThread([path] {
        QWidget* window = QApplication::activeModalWidget();
        if (window)
            window->grab().save(QString::fromStdString(path));
    });
}

Picture Driver::PaintMainWindowClient(WindowState state)
{
    return OnGuiThread([state] {
        NativeWindow* window = MainNativeWindow();
        if (!window)
            return Picture{};
        if (state == WindowState::Minimized)
            window->showMinimized();
        QWidget* client = window->ClientArea();
        QImage image(client->size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        client->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
        if (state == WindowState::Minimized)
            window->showNormal();
        Picture picture{image.width(), image.height(), {}};
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                picture.pixels.push_back(image.pixel(x, y));
        }
        return picture;
    });
}
