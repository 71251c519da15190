#include "app/QuillmarkApp.h"
#include "platform/gui/CommonControls.h"
#include "platform/gui/Menu.h"
#include "platform/gui/SystemNumbers.h"
#include "platform/gui/Paint.h"
#include "platform/gui/Resources.h"
#include "res/ResourceIds.h"
#include "tools/driver/Driver.h"
#include "tests/driver/PlacementCheck.h"
#include "ui/AboutBoxDlg.h"
#include "ui/AboutDlg.h"
#include "ui/ChangePasswordDlg.h"
#include "ui/CreateUserDlg.h"
#include "ui/LoginDlg.h"
#include "ui/QuillmarkDlg.h"

#include <gtest/gtest.h>

namespace {

class MainWindow : public ::testing::Test {
protected:
    void Run(const std::function<void(Driver&)>& script)
    {
        m_driver.Run([this] { m_initInstanceResult = theApp.InitInstance(); }, script);
        EXPECT_FALSE(m_initInstanceResult) << "no loop may follow the main window";
    }

    static void LogInAsTheLoginDialogDoes()
    {
        MainWindowMenu()->EnableMenuItem(ID_FILE_LOGOUT, MF_BYCOMMAND | MF_ENABLED);
        MainWindowMenu()->EnableMenuItem(ID_FILE_LOGIN, MF_BYCOMMAND | MF_GRAYED);
    }

    Driver m_driver;
    bool m_initInstanceResult = true;
};

TEST_F(MainWindow, StartUpRegistersTheControlsAndNamesTheSettingsKey)
{
    Run([](Driver& driver) {
        driver.Call([] {
            EXPECT_EQ(RegisteredCommonControls() & ICC_WIN95_CLASSES, ICC_WIN95_CLASSES);
            EXPECT_EQ(theApp.RegistryKey(), u"Local AppWizard-Generated Applications");
        });
    });
}

TEST_F(MainWindow, StartsLoggedOutWithTheOptionUnchecked)
{
    Run([](Driver& driver) {
        EXPECT_EQ(driver.MenuState(ID_FILE_CREATEUSER), MF_ENABLED);
        EXPECT_EQ(driver.MenuState(ID_FILE_LOGIN), MF_ENABLED);
        EXPECT_EQ(driver.MenuState(ID_FILE_LOGOUT), MF_GRAYED);
        EXPECT_EQ(driver.MenuState(ID_OPTION_CHANGEPASSWORD), MF_ENABLED);
        EXPECT_EQ(driver.MenuState(ID_OPTION_DISPLAYPASSWORD), MF_UNCHECKED);
        EXPECT_FALSE(driver.Choose(ID_FILE_LOGOUT)) << "a grayed item cannot be chosen";
    });
}

TEST_F(MainWindow, DisplayPasswordTogglesItsCheckMark)
{
    Run([](Driver& driver) {
        driver.Choose(ID_OPTION_DISPLAYPASSWORD);
        EXPECT_EQ(driver.MenuState(ID_OPTION_DISPLAYPASSWORD), MF_CHECKED);
        driver.Choose(ID_OPTION_DISPLAYPASSWORD);
        EXPECT_EQ(driver.MenuState(ID_OPTION_DISPLAYPASSWORD), MF_UNCHECKED);
    });
}

TEST_F(MainWindow, LogoutReturnsToLoggedOutAndLeavesTheOption)
{
    Run([](Driver& driver) {
        driver.Choose(ID_OPTION_DISPLAYPASSWORD);
        driver.Call(LogInAsTheLoginDialogDoes);
        EXPECT_FALSE(driver.Choose(ID_FILE_LOGIN));

        EXPECT_TRUE(driver.Choose(ID_FILE_LOGOUT));
        EXPECT_EQ(driver.MenuState(ID_FILE_LOGIN), MF_ENABLED);
        EXPECT_EQ(driver.MenuState(ID_FILE_LOGOUT), MF_GRAYED);
        EXPECT_EQ(driver.MenuState(ID_OPTION_DISPLAYPASSWORD), MF_CHECKED);
        EXPECT_TRUE(dynamic_cast<CQuillmarkDlg*>(driver.ActiveDialog())) << "Log out opens nothing";
    });
}

TEST_F(MainWindow, EnterDoesNothing)
{
    Run([](Driver& driver) {
        driver.Press(Key::Enter);
        EXPECT_TRUE(driver.IsRunning());
        EXPECT_TRUE(dynamic_cast<CQuillmarkDlg*>(driver.ActiveDialog()));
    });
}

TEST_F(MainWindow, ShowsItsCaptionAndIcon)
{
    Run([](Driver& driver) {
        CDialog* window = driver.ActiveDialog();
        ASSERT_NE(window, nullptr);
        const IconHandle icon = LoadIcon(IDR_MAINFRAME);
        ASSERT_NE(icon, nullptr);
        driver.Call([&] {
            EXPECT_EQ(window->SendMessage(WM_GETICON, ICON_BIG), reinterpret_cast<std::intptr_t>(icon));
            EXPECT_EQ(window->SendMessage(WM_GETICON, ICON_SMALL), reinterpret_cast<std::intptr_t>(icon));
            EXPECT_EQ(window->SendMessage(WM_QUERYDRAGICON), reinterpret_cast<std::intptr_t>(icon));
        });
    });
}

// ---- Every way of closing the main window ends the program.

struct CloseWay {
    const char* name;
    std::function<void(Driver&)> close;
};

void PrintTo(const CloseWay& way, std::ostream* out)
{
    *out << way.name;
}

class ClosingTheMainWindow : public MainWindow, public ::testing::WithParamInterface<CloseWay> {};

TEST_P(ClosingTheMainWindow, EndsTheProgram)
{
    Run([](Driver& driver) {
        GetParam().close(driver);
        EXPECT_FALSE(driver.IsRunning());
    });
}

INSTANTIATE_TEST_SUITE_P(EveryWay, ClosingTheMainWindow,
    ::testing::Values(
        CloseWay{"Escape", [](Driver& driver) { driver.Press(Key::Escape); }},
        CloseWay{"CloseBox", [](Driver& driver) { driver.CloseBox(); }},
        CloseWay{"AltF4", [](Driver& driver) { driver.Press(Key::AltF4); }},
        CloseWay{"SystemMenuClose", [](Driver& driver) { EXPECT_TRUE(driver.ChooseSystemMenu(SC_CLOSE)); }},
        CloseWay{"Exit", [](Driver& driver) { EXPECT_TRUE(driver.Choose(ID_APP_EXIT)); }}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Each command opens its own dialog, owned by the main window.

struct Opening {
    const char* name;
    std::function<void(Driver&)> open;
    std::function<bool(CDialog*)> isExpected;
};

void PrintTo(const Opening& opening, std::ostream* out)
{
    *out << opening.name;
}

template <class Dialog>
bool Is(CDialog* dialog)
{
    return dynamic_cast<Dialog*>(dialog) != nullptr;
}

class OpeningADialog : public MainWindow, public ::testing::WithParamInterface<Opening> {};

TEST_P(OpeningADialog, RunsItsClassAndLeavesTheMenuAsItWas)
{
    Run([](Driver& driver) {
        GetParam().open(driver);
        CDialog* dialog = driver.ActiveDialog();
        EXPECT_TRUE(GetParam().isExpected(dialog));
        EXPECT_TRUE(IsCentredOverItsOwner(driver.ActivePlacement()));
        EXPECT_FALSE(driver.Choose(ID_OPTION_DISPLAYPASSWORD)) << "the menu is not reachable while a dialog runs";

        driver.Press(Key::Escape);
        EXPECT_TRUE(Is<CQuillmarkDlg>(driver.ActiveDialog()));
        EXPECT_EQ(driver.MenuState(ID_FILE_LOGIN), MF_ENABLED);
        EXPECT_EQ(driver.MenuState(ID_FILE_LOGOUT), MF_GRAYED);
        EXPECT_EQ(driver.MenuState(ID_OPTION_DISPLAYPASSWORD), MF_UNCHECKED);
    });
}

INSTANTIATE_TEST_SUITE_P(FromTheMenus, OpeningADialog,
    ::testing::Values(
        Opening{"CreateUser", [](Driver& d) { d.Choose(ID_FILE_CREATEUSER); }, Is<CCreateUserDlg>},
        Opening{"Login", [](Driver& d) { d.Choose(ID_FILE_LOGIN); }, Is<CLoginDlg>},
        Opening{"ChangePassword", [](Driver& d) { d.Choose(ID_OPTION_CHANGEPASSWORD); }, Is<CChangePasswordDlg>},
        Opening{"MenuBarAbout", [](Driver& d) { d.Choose(ID_HELP_ABOUT); }, Is<CAboutBoxDlg>},
        Opening{"SystemMenuAbout", [](Driver& d) { EXPECT_TRUE(d.ChooseSystemMenu(IDM_ABOUTBOX)); }, Is<CAboutDlg>}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindow, SystemMenuEndsWithASeparatorAndTheAboutEntry)
{
    Run([](Driver& driver) {
        const std::u16string items = driver.SystemMenuText();
        EXPECT_TRUE(items.ends_with(u"\n-\n&About Quillmark...\n")) << "items: " << items.size();
        EXPECT_NE(items.find(u"&Close"), std::u16string::npos);
    });
}

TEST_F(MainWindow, SystemCommandsMatchTheAboutEntryWithoutTheirLowBits)
{
    Run([](Driver& driver) {
        CDialog* window = driver.ActiveDialog();
        driver.Call([window] { window->SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX | 0x000F); });
        EXPECT_TRUE(Is<CAboutDlg>(driver.ActiveDialog()));
    });
}

TEST_F(MainWindow, OpensCentredOnTheScreen)
{
    Run([](Driver& driver) {
        const Placement placement = driver.ActivePlacement();
        EXPECT_EQ(placement.owner.right - placement.owner.left, 0) << "the main window has no owner";
        EXPECT_TRUE(IsCentredOverItsOwner(placement));
    });
}

TEST_F(MainWindow, HelpSaysThatThereIsNone)
{
    Run([](Driver& driver) {
        driver.Press(Key::F1);
        const auto box = driver.ActiveMessageBox();
        ASSERT_TRUE(box);
        EXPECT_EQ(box->caption, theApp.Title());
        EXPECT_EQ(box->icon, BoxIcon::Information);
        EXPECT_TRUE(IsCentredOverItsOwner(driver.ActivePlacement()));
        driver.Dismiss();
        EXPECT_TRUE(driver.IsRunning());
    });
}

// ---- The About box

TEST_F(MainWindow, AboutBoxNamesTheProgram)
{
    Run([](Driver& driver) {
        driver.Choose(ID_HELP_ABOUT);
        CDialog* about = driver.ActiveDialog();
        ASSERT_TRUE(Is<CAboutBoxDlg>(about));
        driver.Call([about] { EXPECT_EQ(about->GetDlgItemText(IDOK), u"OK"); });
        EXPECT_EQ(driver.FocusedControl(), IDOK);
    });
}

struct AboutClose {
    const char* name;
    std::function<void(Driver&)> close;
};

void PrintTo(const AboutClose& way, std::ostream* out)
{
    *out << way.name;
}

class ClosingTheAboutBox : public MainWindow, public ::testing::WithParamInterface<AboutClose> {};

TEST_P(ClosingTheAboutBox, ReturnsToTheMainWindow)
{
    Run([](Driver& driver) {
        driver.Choose(ID_HELP_ABOUT);
        GetParam().close(driver);
        EXPECT_TRUE(Is<CQuillmarkDlg>(driver.ActiveDialog()));
        EXPECT_TRUE(driver.IsRunning());
    });
}

INSTANTIATE_TEST_SUITE_P(EveryWay, ClosingTheAboutBox,
    ::testing::Values(
        AboutClose{"OkButton", [](Driver& d) { d.Click(IDOK); }},
        AboutClose{"Enter", [](Driver& d) { d.Press(Key::Enter); }},
        AboutClose{"Escape", [](Driver& d) { d.Press(Key::Escape); }},
        AboutClose{"CloseBox", [](Driver& d) { d.CloseBox(); }}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Minimized, the window paints its icon in the middle of its client area.

TEST(MinimizedIcon, OriginRoundsTowardZero)
{
    EXPECT_EQ(CQuillmarkDlg::IconOrigin(0, 32), -15);
    EXPECT_EQ(CQuillmarkDlg::IconOrigin(1, 32), -15);
    EXPECT_EQ(CQuillmarkDlg::IconOrigin(32, 32), 0);
    EXPECT_EQ(CQuillmarkDlg::IconOrigin(481, 32), 225);
}

// Whether a 4 x 4 square differs from the background in the picture's corner.
bool HasIconPixelsAround(const Picture& picture, int x, int y)
{
    for (int dy = 0; dy < 4; ++dy) {
        for (int dx = 0; dx < 4; ++dx) {
            if (picture.At(x + dx, y + dy) != picture.At(0, 0))
                return true;
        }
    }
    return false;
}

TEST_F(MainWindow, PaintsItsIconCentredOnlyWhileMinimized)
{
    Run([](Driver& driver) {
        const Picture normal = driver.PaintMainWindowClient(Driver::WindowState::Normal);
        const Picture minimized = driver.PaintMainWindowClient(Driver::WindowState::Minimized);
        ASSERT_GT(minimized.width, 64);
        int iconSize = 0;
        driver.Call([&] { iconSize = GetSystemMetrics(SM_CXICON); });
        const int x = CQuillmarkDlg::IconOrigin(minimized.width, iconSize);
        const int y = CQuillmarkDlg::IconOrigin(minimized.height, iconSize);
        const int middle = iconSize / 2 - 2;
        EXPECT_TRUE(HasIconPixelsAround(minimized, x + middle, y + middle));
        EXPECT_FALSE(HasIconPixelsAround(normal, x + middle, y + middle));
        EXPECT_FALSE(HasIconPixelsAround(minimized, x - 8, y + middle)) << "nothing left of the icon";
    });
}

}  // namespace
