#include "tests/gui/AccountTest.h"

#include "platform/gui/SystemNumbers.h"
#include "platform/gui/Menu.h"
#include "res/ResourceIds.h"
#include "ui/LoginDlg.h"
#include "ui/QuillmarkDlg.h"

#include <cerrno>

namespace {

using LoginDialog = AccountDialog;

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

// ---- The three outcomes of a press

TEST_F(LoginDialog, WithoutAUserFileWarnsUnderTheProgramTitleAndCloses)
{
    Run([](Driver& driver) {
        driver.Choose(ID_FILE_LOGIN);
        LogIn(driver, u"alice", u"secret");
        const Message message = TakeMessage(driver);
        EXPECT_EQ(message.shown, (Shown{u"Create a user before logging in.", theApp.Title(), BoxIcon::Warning}));
        EXPECT_TRUE(message.dialogVisible);
        EXPECT_TRUE(IsOpen<CQuillmarkDlg>(driver));
        ExpectLoggedOut(driver);
    });
    EXPECT_FALSE(UserFile());
}

TEST_F(LoginDialog, TheRightPasswordSaysSoThenClosesAndLogsIn)
{
    WriteUserFile(Utf8File("alice:secret\n"));
    Run([](Driver& driver) {
        driver.Choose(ID_FILE_LOGIN);
        EXPECT_EQ(driver.FocusedControl(), IDC_USERNAME);
        LogIn(driver, u"alice", u"secret");
        const Message message = TakeMessage(driver);
        EXPECT_EQ(message.shown, kSuccess);
        EXPECT_TRUE(message.dialogVisible) << "shown while the dialog is still open";
        EXPECT_TRUE(IsOpen<CQuillmarkDlg>(driver));
        ExpectLoggedIn(driver);
        EXPECT_FALSE(driver.Choose(ID_FILE_LOGIN));

        EXPECT_TRUE(driver.Choose(ID_FILE_LOGOUT));
        ExpectLoggedOut(driver);
    });
}

TEST_F(LoginDialog, AnythingButTheWholeLineIsIncorrectAndTheDialogStaysOpen)
{
    WriteUserFile(Utf8File("alice:secret\n\nno colon\n"));
    Run([](Driver& driver) {
        driver.Choose(ID_FILE_LOGIN);
        for (const auto& [user, password] : {std::pair{u"alice", u"wrong"}, {u"alice", u"Secret"}, {u"Alice", u"secret"},
                                            {u"alice", u"secret "}, {u"", u""}, {u"no colon", u""}}) {
            LogIn(driver, user, password);
            EXPECT_EQ(TakeMessage(driver).shown, kIncorrect);
            EXPECT_TRUE(IsOpen<CLoginDlg>(driver));
            EXPECT_EQ(driver.Text(IDC_PASSWORD), password);
        }
        ExpectLoggedOut(driver);
    });
}

TEST_F(LoginDialog, AnEmptyUserFileHasNoAccounts)
{
    WriteUserFile("");
    Run([](Driver& driver) {
        driver.Choose(ID_FILE_LOGIN);
        LogIn(driver, u"", u"");
        EXPECT_EQ(TakeMessage(driver).shown, kIncorrect);
    });
}

TEST_F(LoginDialog, AcceptsEveryLineAndEverySplitOfTheSameKey)
{
    WriteUserFile(Utf8File("alice:one\nalice:two\na:b:c\n:\n"));
    Run([](Driver& driver) {
        for (const auto& [user, password] : {std::pair{u"alice", u"one"}, {u"alice", u"two"}, {u"a", u"b:c"},
                                            {u"a:b", u"c"}, {u"", u""}}) {
            driver.Choose(ID_FILE_LOGOUT);
            driver.Choose(ID_FILE_LOGIN);
            LogIn(driver, user, password);
            EXPECT_EQ(TakeMessage(driver).shown, kSuccess);
            ExpectLoggedIn(driver);
        }
    });
}

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

// ---- The store's failures

TEST_F(LoginDialog, AnUnreadableFileIsReportedAndTheDialogStaysOpen)
{
    WriteUserFile(Utf8File("alice:secret\n"));
    Run([this](Driver& driver) {
        driver.Choose(ID_FILE_LOGIN);
        FailEvery(driver, files::FileCall::Read, EIO);
        LogIn(driver, u"alice", u"secret");
        const Shown shown = TakeMessage(driver).shown;
        EXPECT_EQ(shown.caption, u"Error");
        EXPECT_EQ(shown.icon, BoxIcon::Error);
        EXPECT_NE(shown.text.find(u"Input/output error"), std::u16string::npos);
        EXPECT_TRUE(IsOpen<CLoginDlg>(driver));
        ExpectLoggedOut(driver);

        Heal(driver);
        driver.Press(Key::Enter);
        EXPECT_EQ(TakeMessage(driver).shown, kSuccess);
    });
}

}  // namespace
