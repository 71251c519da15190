#include "tests/gui/AccountTest.h"

#include "platform/gui/SystemNumbers.h"
#include "platform/gui/Menu.h"
#include "res/ResourceIds.h"
#include "ui/QuillmarkDlg.h"


namespace {

using LoginDialog = AccountDialog;
using LoginPress = DialogPress;

const Shown kSuccess{u"Login successful", u"Successful", BoxIcon::None};
const Shown kIncorrect{u"Incorrect Username/Password. Try Again ", u"Error", BoxIcon::Error};

void ExpectLoggedOut(Driver& driver)
{
    EXPECT_EQ(driver.MenuState(ID_FILE_LOGIN), MF_ENABLED);
    EXPECT_EQ(driver.MenuState(ID_FILE_LOGOUT), MF_GRAYED);
}

void ExpectLoggedIn(Driver& driver)
{
    EXPECT_EQ(driver.MenuState(ID_FILE_LOGIN), MF_GRAYED);
    EXPECT_EQ(driver.MenuState(ID_FILE_LOGOUT), MF_ENABLED);
}

// Which lines match is the store's to test; here each outcome reaches the
// user as its box, and the menu says whether someone is logged in.
std::vector<Press> Presses()
{
    const std::string accounts = Utf8File("alice:secret\n");
    using enum Then;
    return {
        // The program's title as the caption.
        {"WithoutAUserFileWarnsAndCloses", {}, {u"alice", u"secret"}, {},
         {u"Create a user before logging in.", u"", BoxIcon::Warning}, EndsAfterTheBox, {}},
        {"TheRightPasswordLogsIn", accounts, {u"alice", u"secret"}, {}, kSuccess, EndsAfterTheBox, {}},
        {"AWrongPasswordIsIncorrect", accounts, {u"alice", u"Secret"}, {}, kIncorrect, StaysOpen, {}},
        {"AnUnreadableFileIsReported", accounts, {u"alice", u"secret"}, {files::FileCall::Read, files::BrokenDisk},
         {u"…Input/output error…", u"Error", BoxIcon::Error}, StaysOpen, {}},
    };
}

TEST_P(LoginPress, Outcome)
{
    PressOk(ID_FILE_LOGIN, {IDC_USERNAME, IDC_PASSWORD}, [loggedIn = GetParam().shown == kSuccess](Driver& driver) {
        if (loggedIn)
            ExpectLoggedIn(driver);
        else
            ExpectLoggedOut(driver);
    });
}
INSTANTIATE_TEST_SUITE_P(Table, LoginPress, ::testing::ValuesIn(Presses()), NameOf);

TEST_F(LoginDialog, ReadsTheFileAfreshOnEachPress)
{
    WriteUserFile(Utf8File("bob:x\n"));
    Run([](Driver& driver) {
        driver.Choose(ID_FILE_LOGIN);
        LogIn(driver, u"alice", u"secret");
        EXPECT_EQ(TakeMessage(driver).shown, kIncorrect);
        WriteUserFile(Utf8File("alice:secret\n"));
        driver.Press(Key::Enter);
        EXPECT_EQ(TakeMessage(driver).shown, kSuccess);
    });
}

TEST_F(LoginDialog, CancelChangesNothing)
{
    WriteUserFile(Utf8File("alice:secret\n"));
    Run([](Driver& driver) {
        driver.Choose(ID_FILE_LOGIN);
        driver.Type(IDC_USERNAME, u"alice");
        driver.Click(IDCANCEL);
        EXPECT_FALSE(driver.ActiveMessageBox());
        EXPECT_TRUE(IsOpen<CQuillmarkDlg>(driver));
        ExpectLoggedOut(driver);
    });
}

// ---- Display Password, read once as the dialog opens

TEST_F(LoginDialog, ShowsThePasswordOnlyWhenTheOptionWasCheckedAsItOpened)
{
    Run([](Driver& driver) {
        driver.Choose(ID_FILE_LOGIN);
        EXPECT_TRUE(driver.IsMasked(IDC_PASSWORD));
        driver.Call([] { MainWindowMenu()->CheckMenuItem(ID_OPTION_DISPLAYPASSWORD, MF_BYCOMMAND | MF_CHECKED); });
        EXPECT_TRUE(driver.IsMasked(IDC_PASSWORD)) << "the option is read once";
        driver.Press(Key::Escape);

        driver.Choose(ID_FILE_LOGIN);
        EXPECT_FALSE(driver.IsMasked(IDC_PASSWORD));
        driver.Type(IDC_PASSWORD, u"visible");
        EXPECT_EQ(driver.Text(IDC_PASSWORD), u"visible");
        driver.Press(Key::Escape);

        driver.Choose(ID_OPTION_DISPLAYPASSWORD);
        driver.Choose(ID_FILE_LOGIN);
        EXPECT_TRUE(driver.IsMasked(IDC_PASSWORD));
    });
}

}  // namespace
