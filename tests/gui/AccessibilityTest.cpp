// What a screen reader reads of each window, through QAccessible, and how the
// keyboard moves through it.
#include "tests/gui/AccountTest.h"

#include "platform/gui/Menu.h"
#include "platform/gui/SystemNumbers.h"
#include "platform/gui/Unicode.h"
#include "platform/gui/qt/NativeMenu.h"
#include "platform/gui/qt/NativeWindow.h"
#include "platform/gui/qt/QtText.h"
#include "platform/gui/qt/TitleBar.h"
#include "res/ResourceIds.h"
#include "ui/CreateUserDlg.h"
#include "ui/QuillmarkDlg.h"

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QStyle>
#include <QTextLayout>
#include <QToolButton>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using Accessibility = AccountDialog;

// What a screen reader is told of one window or control.
struct Read {
    QAccessible::Role role = QAccessible::NoRole;
    std::u16string name;
    std::u16string value;
    std::u16string labelledBy;
    QAccessible::State state;
};

Read ReadInterface(QAccessibleInterface* accessible)
{
    Read read;
    if (!accessible)
        return read;
    read.role = accessible->role();
    read.name = ToU16String(accessible->text(QAccessible::Name));
    read.value = ToU16String(accessible->text(QAccessible::Value));
    read.state = accessible->state();
    for (const auto& [label, relation] : accessible->relations(QAccessible::Label))
        read.labelledBy += ToU16String(label->text(QAccessible::Name));
    return read;
}

// The window on top; with a control id, that control of it.
Read ReadActive(Driver& driver, int controlId = 0)
{
    Read read;
    driver.Call([&read, controlId] {
        QWidget* window = QApplication::activeModalWidget();
        auto* dialog = dynamic_cast<NativeWindow*>(window);
        QWidget* widget = controlId == 0 ? window : dialog ? dialog->Control(controlId) : nullptr;
        read = ReadInterface(widget ? QAccessible::queryAccessibleInterface(widget) : nullptr);
    });
    return read;
}

// A main-window menu item, as its menu lists it.
Read ReadMenuItem(Driver& driver, int command)
{
    Read read;
    driver.Call([&read, command] {
        const QAction* action = MainWindowMenu()->Native().FindCommand(command);
        for (QObject* menu : action ? action->associatedObjects() : QList<QObject*>()) {
            QAccessibleInterface* list = QAccessible::queryAccessibleInterface(menu);
            for (int i = 0; list && i < list->childCount(); ++i) {
                if (list->child(i)->object() == action)
                    read = ReadInterface(list->child(i));
            }
        }
    });
    return read;
}

// The names of the active window's controls, in the order a screen reader lists them.
std::vector<std::u16string> ReadingOrder(Driver& driver)
{
    std::vector<std::u16string> names;
    driver.Call([&names] {
        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(QApplication::activeModalWidget());
        // The controls sit in the window's client area, its first child.
        QAccessibleInterface* client = window ? window->child(0) : nullptr;
        for (int i = 0; client && i < client->childCount(); ++i)
            names.push_back(ToU16String(client->child(i)->text(QAccessible::Name)));
    });
    return names;
}

// Every banner shows the program's name, and is read by it.
std::u16string BannerName()
{
    return ToU16String(QCoreApplication::applicationName());
}

struct Field {
    int id;
    std::u16string label;
    bool masked;
};

struct DialogLayout {
    int command;
    std::u16string caption;
    std::vector<Field> fields;
    std::u16string okText;
};

const std::vector<DialogLayout> kAccountDialogs{
    {ID_FILE_CREATEUSER, u"Create User",
     {{IDC_USERNAME, u"Username", false}, {IDC_PASSWORD, u"Password", true},
      {IDC_CONFIRMPASSWORD, u"Confirm Password", true}},
     u"Create"},
    {ID_FILE_LOGIN, u"Login", {{IDC_USERNAME, u"Username", false}, {IDC_PASSWORD, u"Password", true}}, u"Login"},
    {ID_OPTION_CHANGEPASSWORD, u"Change Password",
     {{IDC_USERNAME, u"Username", false}, {IDC_PASSWORD, u"Old Password", true},
      {IDC_NEWPASSWORD, u"New Password", true}, {IDC_CONFIRMPASSWORD, u"Confirm Password", true}},
     u"OK"},
};

// ---- Names

TEST_F(Accessibility, EveryEditIsNamedAfterItsLabel)
{
    Run([](Driver& driver) {
        for (const DialogLayout& dialog : kAccountDialogs) {
            SCOPED_TRACE(Utf16ToUtf8(dialog.caption));
            driver.Choose(dialog.command);
            for (const Field& field : dialog.fields) {
                const Read edit = ReadActive(driver, field.id);
                EXPECT_EQ(edit.role, QAccessible::EditableText);
                EXPECT_EQ(edit.name, field.label);
                EXPECT_EQ(edit.labelledBy, field.label);
                EXPECT_TRUE(edit.state.focusable);
            }
            driver.Press(Key::Escape);
        }
    });
}

TEST_F(Accessibility, DialogsReadTheirCaptionAndButtons)
{
    Run([](Driver& driver) {
        for (const DialogLayout& dialog : kAccountDialogs) {
            driver.Choose(dialog.command);
            const Read window = ReadActive(driver);
            EXPECT_EQ(window.role, QAccessible::Dialog);
            EXPECT_EQ(window.name, dialog.caption);
            const Read ok = ReadActive(driver, IDOK);
            EXPECT_EQ(ok.role, QAccessible::Button);
            EXPECT_EQ(ok.name, dialog.okText);
            EXPECT_TRUE(ok.state.defaultButton) << "Enter presses it";
            const Read cancel = ReadActive(driver, IDCANCEL);
            EXPECT_EQ(cancel.name, u"Cancel");
            EXPECT_FALSE(cancel.state.defaultButton);
            driver.Press(Key::Escape);
        }
        const Read main = ReadActive(driver);
        EXPECT_EQ(main.name, u"Quillmark");
    });
}

TEST_F(Accessibility, ControlsAreReadInTheOrderOfTheKeyboardEachFieldAfterItsLabel)
{
    Run([](Driver& driver) {
        for (const DialogLayout& dialog : kAccountDialogs) {
            SCOPED_TRACE(Utf16ToUtf8(dialog.caption));
            driver.Choose(dialog.command);
            std::vector<std::u16string> expected{BannerName()};
            for (const Field& field : dialog.fields)
                expected.insert(expected.end(), {field.label, field.label});
            expected.insert(expected.end(), {dialog.okText, u"Cancel"});
            EXPECT_EQ(ReadingOrder(driver), expected);
            for (const int button : {IDOK, IDCANCEL})
                EXPECT_EQ(ReadActive(driver, button).labelledBy, u"") << "a button bears its own name";
            driver.Press(Key::Escape);
        }
    });
}

TEST_F(Accessibility, TheAboutBoxReadsItsLines)
{
    Run([](Driver& driver) {
        driver.Choose(ID_HELP_ABOUT);
        EXPECT_EQ(ReadActive(driver).name, u"About Quillmark");
        EXPECT_EQ(ReadingOrder(driver), (std::vector<std::u16string>{BannerName(), u"Quillmark Version 1.0",
                                                                     u"Copyright (C) 2026 Quillmark", u"OK"}));
        const Read ok = ReadActive(driver, IDOK);
        EXPECT_EQ(ok.name, u"OK");
        EXPECT_EQ(ok.labelledBy, u"") << "the line above it does not name it";
    });
}

TEST_F(Accessibility, MessageBoxesReadAsAlertsWithTheirCaptionAndText)
{
    Run([](Driver& driver) {
        driver.Choose(ID_FILE_CREATEUSER);
        driver.Press(Key::Enter);
        const Read blank = ReadActive(driver);
        EXPECT_EQ(blank.role, QAccessible::AlertMessage);
        EXPECT_EQ(blank.name, u"Error");
        EXPECT_EQ(blank.value, u"Username / Password cannot be blank");
        driver.Dismiss();

        CreateUser(driver, u"alice", u"secret", u"secret");
        const Read created = ReadActive(driver);
        EXPECT_EQ(created.role, QAccessible::AlertMessage);
        EXPECT_EQ(created.name, u"Successful");
        EXPECT_EQ(created.value, u"User alice created.");
    });
}

TEST_F(Accessibility, AVeryLongNameWrapsOrLosesItsMiddleInABoxThatFitsTheScreen)
{
    Run([](Driver& driver) {
        for (const std::size_t length : {1200, 32000}) {
            driver.Choose(ID_FILE_CREATEUSER);
            CreateUser(driver, std::u16string(length, u'n'), u"secret", u"secret");
            driver.Call([length] {
                QWidget* box = QApplication::activeModalWidget();
                ASSERT_TRUE(box);
                EXPECT_TRUE(box->screen()->availableGeometry().contains(box->frameGeometry())) << length;
                const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
                ASSERT_TRUE(label);
                // The text broken anywhere at the label's width fits its height.
                QTextLayout layout(label->text().replace(u'\n', QChar::LineSeparator), label->font());
                QTextOption wrapAnywhere;
                wrapAnywhere.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
                layout.setTextOption(wrapAnywhere);
                layout.beginLayout();
                qreal height = 0;
                for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                    line.setLineWidth(label->contentsRect().width());
                    height += line.height();
                }
                layout.endLayout();
                EXPECT_LE(height, label->contentsRect().height() + 1) << length;
                EXPECT_TRUE(label->text().endsWith(QStringLiteral(" created."))) << "its end stays in sight";
            });
            driver.Dismiss();
        }
    });
}

// ---- Every colour scheme

// The strongest contrast (1 to 21, as readability guidelines measure it) that
// a pixel of that part of the picture makes with the background.
double StrongestContrast(const QImage& picture, const QRect& part, QColor background)
{
    const auto luminance = [](const QColor& colour) {
        const auto linear = [](float c) { return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f); };
        return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF()) + 0.05;
    };
    double strongest = 1;
    for (int y = part.top(); y <= part.bottom(); ++y) {
        for (int x = part.left(); x <= part.right(); ++x) {
            const auto [darker, lighter] = std::minmax({luminance(picture.pixelColor(x, y)), luminance(background)});
            strongest = std::max(strongest, lighter / darker);
        }
    }
    return strongest;
}

// The main window's body and banner take the scheme's window colour. On
// Wayland each window draws its own title bar, with only the buttons its
// style asks for (no window of a fixed size offers a maximise), and its
// caption reads when the window is inactive too.
TEST_F(Accessibility, TheMainWindowAndTheDrawnTitleBarsReadInALightADarkAndAHighContrastScheme)
{
    const auto scheme = [](QColor window, QColor base, QColor text) {
        QPalette palette(text, window, window.lighter(), window.darker(), window.darker(150), text, text, base, window);
        palette.setColor(QPalette::Disabled, QPalette::WindowText, window.darker(130));
        return palette;
    };
    const std::vector<std::pair<const char*, QPalette>> schemes{
        {"light", QApplication::style()->standardPalette()},
        {"dark", scheme(QColor("#353535"), QColor("#2d2d2d"), QColor("#eeeeec"))},
        {"high contrast", scheme(Qt::black, Qt::black, Qt::white)},
    };
    const std::vector<std::pair<Qt::WindowFlags, std::vector<QString>>> titleBars{
        {Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint, {QStringLiteral("Close")}},
        {Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint, {QStringLiteral("Minimise"), QStringLiteral("Close")}},
    };
    const QPalette before = QApplication::palette();
    for (const auto& [name, palette] : schemes) {
        SCOPED_TRACE(name);
        // The scheme the desktop had when the program started.
        QApplication::setPalette(palette);
        Run([&palette = palette, &titleBars](Driver& driver) {
            driver.Call([&palette, &titleBars] {
                const QColor body = palette.color(QPalette::Base);
                auto* window = dynamic_cast<NativeWindow*>(QApplication::activeModalWidget());
                ASSERT_TRUE(window);
                const QImage client = window->ClientArea()->grab().toImage();
                EXPECT_EQ(client.pixelColor(1, 1), body) << "the body is the scheme's window colour";
                const QLabel* banner = window->ClientArea()->findChild<QLabel*>();
                ASSERT_TRUE(banner);
                const QRect art = banner->geometry();
                EXPECT_EQ(client.pixelColor(art.topLeft() + QPoint(2, 2)), body) << "the banner sits on it";
                const QRect title(art.left() + art.width() / 3, art.top() + art.height() / 8, art.width() * 2 / 3,
                                  art.height() * 3 / 8);
                EXPECT_GE(StrongestContrast(client, title, body), 7.0) << "its name reads";

                for (const auto& [flags, expected] : titleBars) {
                    QWidget dialog(nullptr, Qt::Window | Qt::CustomizeWindowHint | flags);
                    dialog.setWindowTitle(QStringLiteral("Create User"));
                    auto* bar = new TitleBar(dialog);
                    std::vector<QString> offered;
                    for (const QToolButton* button : bar->findChildren<QToolButton*>())
                        offered.push_back(button->accessibleName());
                    EXPECT_EQ(offered, expected);
                    EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint) << "Qt draws no bar of its own";
                    bar->resize(300, bar->height());
                    const QImage shown = bar->grab().toImage();
                    // Left of the buttons, above the bar's bottom edge: the icon and the caption.
                    const QRect caption(0, 0, shown.width() - 80, shown.height() - 1);
                    EXPECT_GE(StrongestContrast(shown, caption, shown.pixelColor(1, 1)), 4.5) << "inactive";
                }
            });
        });
    }
    QApplication::setPalette(before);
}

// ---- Passwords

TEST_F(Accessibility, AMaskedPasswordIsNeverReadAloud)
{
    Run([](Driver& driver) {
        driver.Choose(ID_FILE_CREATEUSER);
        driver.Type(IDC_USERNAME, u"alice");
        driver.Type(IDC_PASSWORD, u"secret");
        driver.Type(IDC_CONFIRMPASSWORD, u"secret");
        EXPECT_EQ(ReadActive(driver, IDC_USERNAME).value, u"alice");
        for (const int id : {IDC_PASSWORD, IDC_CONFIRMPASSWORD}) {
            const Read password = ReadActive(driver, id);
            EXPECT_TRUE(password.state.passwordEdit);
            EXPECT_EQ(password.value.find(u"secret"), std::u16string::npos);
            EXPECT_EQ(password.value.size(), 6u) << "a reader may say how many characters there are";
        }
        driver.Press(Key::Escape);

        // Display Password shows it on screen, so a reader may read it too.
        driver.Choose(ID_OPTION_DISPLAYPASSWORD);
        const Read item = ReadMenuItem(driver, ID_OPTION_DISPLAYPASSWORD);
        EXPECT_EQ(item.role, QAccessible::MenuItem);
        EXPECT_TRUE(item.state.checked && item.state.checkable) << "the reader is told the item is on";
        driver.Choose(ID_FILE_LOGIN);
        driver.Type(IDC_PASSWORD, u"secret");
        const Read shown = ReadActive(driver, IDC_PASSWORD);
        EXPECT_FALSE(shown.state.passwordEdit);
        EXPECT_EQ(shown.value, u"secret");
    });
}

// ---- The keyboard

TEST_F(Accessibility, TabVisitsTheControlsInTheOrderOfTheTemplates)
{
    const std::vector<std::pair<int, std::vector<int>>> orders{
        {ID_FILE_CREATEUSER, {IDC_USERNAME, IDC_PASSWORD, IDC_CONFIRMPASSWORD, IDOK, IDCANCEL, IDC_USERNAME}},
        {ID_FILE_LOGIN, {IDC_USERNAME, IDC_PASSWORD, IDOK, IDCANCEL, IDC_USERNAME}},
        {ID_OPTION_CHANGEPASSWORD,
         {IDC_USERNAME, IDC_PASSWORD, IDC_NEWPASSWORD, IDC_CONFIRMPASSWORD, IDOK, IDCANCEL, IDC_USERNAME}},
        {ID_HELP_ABOUT, {IDOK, IDOK}},
    };
    Run([&orders](Driver& driver) {
        for (const auto& [command, order] : orders) {
            driver.Choose(command);
            std::vector<int> visited{driver.FocusedControl()};
            for (std::size_t step = 1; step < order.size(); ++step) {
                driver.Press(Key::Tab);
                visited.push_back(driver.FocusedControl());
            }
            EXPECT_EQ(visited, order) << "from command " << command;
            driver.Press(Key::Escape);
        }
    });
}

TEST_F(Accessibility, AClosedDialogHandsTheKeyboardBackToTheMainWindow)
{
    WriteUserFile(Utf8File("alice:secret\n"));
    Run([](Driver& driver) {
        auto mainWindowIsActive = [&driver] {
            bool active = false;
            driver.Call([&active] {
                active = QApplication::activeWindow() == QApplication::activeModalWidget()
                         && dynamic_cast<NativeWindow*>(QApplication::activeWindow()) != nullptr;
            });
            return active;
        };
        driver.Choose(ID_FILE_LOGIN);
        driver.Press(Key::Escape);
        EXPECT_TRUE(mainWindowIsActive());

        // A box over the dialog, then the dialog, close one after the other.
        driver.Choose(ID_FILE_LOGIN);
        LogIn(driver, u"alice", u"secret");
        driver.Press(Key::Enter);
        EXPECT_TRUE(mainWindowIsActive());
        driver.Press(Key::Escape);
        EXPECT_FALSE(driver.IsRunning()) << "Escape reached the main window";
    });
}

// A key as the keyboard gives it: to the open menu, or else to the focus.
void PressKey(Driver& driver, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    driver.Call([key, modifiers] {
        QWidget* window = QApplication::activePopupWidget() ? QApplication::activePopupWidget()
                                                            : QApplication::activeModalWidget();
        if (!window)
            return;
        // Keys and mnemonics reach only the active window. Headless, a closed
        // menu leaves none active; a person's click would make it so.
        if (!QApplication::activePopupWidget() && !window->isActiveWindow()) {
            window->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        }
        QTest::keyClick(window->focusWidget() ? window->focusWidget() : window, key, modifiers);
    });
}

TEST_F(Accessibility, EscapeStillClosesTheProgramAfterTheMenusWereUsedFromTheKeyboard)
{
    Run([](Driver& driver) {
        PressKey(driver, Qt::Key_F, Qt::AltModifier);
        PressKey(driver, Qt::Key_C);
        EXPECT_TRUE(IsOpen<CCreateUserDlg>(driver)) << "Alt+F, C opens Create User";
        PressKey(driver, Qt::Key_Escape);
        EXPECT_TRUE(IsOpen<CQuillmarkDlg>(driver));

        // Escape closes the menu, then leaves the menu bar, then the program.
        PressKey(driver, Qt::Key_O, Qt::AltModifier);
        PressKey(driver, Qt::Key_Escape);
        PressKey(driver, Qt::Key_Escape);
        EXPECT_TRUE(driver.IsRunning());
        PressKey(driver, Qt::Key_Escape);
        EXPECT_FALSE(driver.IsRunning());
    });
}

}  // namespace
