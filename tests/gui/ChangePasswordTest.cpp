#include "tests/gui/AccountTest.h"

#include "res/ResourceIds.h"
#include "ui/ChangePasswordDlg.h"
#include "ui/LoginDlg.h"
#include "ui/QuillmarkDlg.h"

#include <cerrno>
#include <filesystem>

namespace {

using ChangePasswordDialog = AccountDialog;

const Shown kChanged{u"Password change successful", u"Successful", BoxIcon::None};
const Shown kNotChanged{u"Incorrect Old Password. Enter password again", u"Failed", BoxIcon::None};

// Opens the dialog, presses OK with the fields given, and takes the message,
// which must come after the dialog ended.
Shown Change(Driver& driver, std::u16string_view user, std::u16string_view oldPassword,
             std::u16string_view newPassword, std::u16string_view confirm)
{
    driver.Choose(ID_OPTION_CHANGEPASSWORD);
    ChangePassword(driver, user, oldPassword, newPassword, confirm);
    const Message message = TakeMessage(driver);
    EXPECT_FALSE(message.dialogVisible) << "the dialog ends before its message";
    EXPECT_TRUE(IsOpen<CQuillmarkDlg>(driver));
    return message.shown;
}

// ---- A matching line with an agreeing confirmation changes

TEST_F(ChangePasswordDialog, ReplacesTheLineInPlaceAndEndsEveryLine)
{
    WriteUserFile(Utf8File("bob:x\nalice:old\ncarol:y"));
    Run([](Driver& driver) {
        EXPECT_EQ(Change(driver, u"alice", u"old", u"new", u"new"), kChanged);

        driver.Choose(ID_FILE_LOGIN);
        LogIn(driver, u"alice", u"old");
        EXPECT_EQ(TakeMessage(driver).shown.text, u"Incorrect Username/Password. Try Again ");
        LogIn(driver, u"alice", u"new");
        EXPECT_EQ(TakeMessage(driver).shown.text, u"Login successful");
    });
    EXPECT_EQ(UserFile(), Utf8File("bob:x\nalice:new\ncarol:y\n"));
    EXPECT_FALSE(TemporaryFileExists());
}

TEST_F(ChangePasswordDialog, ReplacesEveryEqualLineAndOnlyThose)
{
    WriteUserFile(Utf8File("alice:old\nalice:other\nalice:old\n"));
    Run([](Driver& driver) { EXPECT_EQ(Change(driver, u"alice", u"old", u"new", u"new"), kChanged); });
    EXPECT_EQ(UserFile(), Utf8File("alice:new\nalice:other\nalice:new\n"));
}

TEST_F(ChangePasswordDialog, AcceptsTheSameOrAnEmptyNewPassword)
{
    WriteUserFile(Utf8File("alice:old\n"));
    Run([](Driver& driver) {
        EXPECT_EQ(Change(driver, u"alice", u"old", u"old", u"old"), kChanged);
        EXPECT_EQ(Change(driver, u"alice", u"old", u"", u""), kChanged);
    });
    EXPECT_EQ(UserFile(), Utf8File("alice:\n"));
}

TEST_F(ChangePasswordDialog, AllFieldsEmptyMatchOnlyALoneColon)
{
    WriteUserFile(Utf8File("alice:old\n:\n"));
    Run([](Driver& driver) { EXPECT_EQ(Change(driver, u"", u"", u"", u""), kChanged); });
    EXPECT_EQ(UserFile(), Utf8File("alice:old\n:\n"));
}

// ---- Anything else closes with the one failure message, lines unchanged

TEST_F(ChangePasswordDialog, NoMatchOrADifferentConfirmationChangesNoLine)
{
    WriteUserFile(Utf8File("alice:old\n\nno colon"));
    Run([](Driver& driver) {
        EXPECT_EQ(Change(driver, u"alice", u"wrong", u"new", u"new"), kNotChanged);
        EXPECT_EQ(Change(driver, u"nobody", u"old", u"new", u"new"), kNotChanged);
        EXPECT_EQ(Change(driver, u"alice", u"old", u"new", u"New"), kNotChanged);
        EXPECT_EQ(Change(driver, u"", u"", u"", u""), kNotChanged);
    });
    EXPECT_EQ(UserFile(), Utf8File("alice:old\n\nno colon"));
}

TEST_F(ChangePasswordDialog, AnEmptyUserFileStaysEmpty)
{
    WriteUserFile("");
    Run([](Driver& driver) { EXPECT_EQ(Change(driver, u"alice", u"old", u"new", u"new"), kNotChanged); });
    EXPECT_EQ(UserFile(), "");
}

// ---- Without a user file, nothing happens at all

TEST_F(ChangePasswordDialog, WithoutAUserFileOkDoesNothingVisible)
{
    Run([](Driver& driver) {
        driver.Choose(ID_OPTION_CHANGEPASSWORD);
        ChangePassword(driver, u"alice", u"old", u"new", u"new");
        EXPECT_FALSE(driver.ActiveMessageBox());
        EXPECT_TRUE(IsOpen<CChangePasswordDlg>(driver));
        EXPECT_EQ(driver.Text(IDC_NEWPASSWORD), u"new");
    });
    EXPECT_FALSE(UserFile());
    EXPECT_FALSE(TemporaryFileExists());
}

TEST_F(ChangePasswordDialog, CancelTouchesNoFile)
{
    WriteUserFile(Utf8File("alice:old"));
    Run([](Driver& driver) {
        driver.Choose(ID_OPTION_CHANGEPASSWORD);
        driver.Type(IDC_USERNAME, u"alice");
        driver.Press(Key::Escape);
        EXPECT_FALSE(driver.ActiveMessageBox());
    });
    EXPECT_EQ(UserFile(), Utf8File("alice:old"));
    EXPECT_FALSE(TemporaryFileExists());
}

TEST_F(ChangePasswordDialog, MasksEveryPasswordWhateverTheOption)
{
    Run([](Driver& driver) {
        driver.Choose(ID_OPTION_DISPLAYPASSWORD);
        driver.Choose(ID_OPTION_CHANGEPASSWORD);
        EXPECT_EQ(driver.FocusedControl(), IDC_USERNAME);
        for (const int field : {IDC_PASSWORD, IDC_NEWPASSWORD, IDC_CONFIRMPASSWORD})
            EXPECT_TRUE(driver.IsMasked(field));
    });
}

// ---- A failed rewrite changes nothing and says so

TEST_F(ChangePasswordDialog, AFullDiskChangesNothingAndSaysSo)
{
    WriteUserFile(Utf8File("alice:old\n"));
    Run([this](Driver& driver) {
        driver.Choose(ID_OPTION_CHANGEPASSWORD);
        FailEvery(driver, files::FileCall::Write, ENOSPC);
        ChangePassword(driver, u"alice", u"old", u"new", u"new");
        const Shown shown = TakeMessage(driver).shown;
        EXPECT_EQ(shown.caption, u"Failed");
        EXPECT_TRUE(shown.text.starts_with(u"The password was not changed."));
        EXPECT_NE(shown.text.find(u"No space left on device"), std::u16string::npos);
        EXPECT_TRUE(IsOpen<CChangePasswordDlg>(driver)) << "open, to try again";

        Heal(driver);
        driver.Press(Key::Enter);
        EXPECT_EQ(TakeMessage(driver).shown, kChanged);
    });
    EXPECT_EQ(UserFile(), Utf8File("alice:new\n"));
    EXPECT_FALSE(TemporaryFileExists());
}

TEST_F(ChangePasswordDialog, AnOldPasswordWithALineBreakIsRefusedAndTouchesNoOtherAccount)
{
    const std::string accounts = Utf8File("bob:x\ncarol:secret\nann:pw\r\n");
    WriteUserFile(accounts);
    Run([](Driver& driver) {
        driver.Choose(ID_OPTION_CHANGEPASSWORD);
        for (const std::u16string_view pasted : {u"x\ncarol:secret", u"pw\r"}) {
            ChangePassword(driver, pasted == u"pw\r" ? u"ann" : u"bob", pasted, u"y", u"y");
            const Shown shown = TakeMessage(driver).shown;
            EXPECT_EQ(shown.caption, u"Failed");
            EXPECT_NE(shown.text.find(u"cannot contain a line break"), std::u16string::npos);
            EXPECT_TRUE(IsOpen<CChangePasswordDlg>(driver)) << "open, to try again";
        }
    });
    EXPECT_EQ(UserFile(), accounts);
    EXPECT_FALSE(TemporaryFileExists());
}

// One failure reads the same in every dialog, after the dialog's own first line.
TEST_F(ChangePasswordDialog, AFolderInPlaceOfTheUserFileReadsTheSameInEveryDialog)
{
    std::filesystem::create_directory("Quillmark.txt");
    const std::u16string why = testing_support::FullPath("Quillmark.txt") + u" could not be opened: it is not a regular file.";
    Run([&why](Driver& driver) {
        driver.Choose(ID_FILE_CREATEUSER);
        CreateUser(driver, u"alice", u"secret", u"secret");
        EXPECT_EQ(TakeMessage(driver).shown.text, u"User alice was not created.\n\n" + why);
        driver.Press(Key::Escape);
        driver.Choose(ID_FILE_LOGIN);
        LogIn(driver, u"alice", u"secret");
        EXPECT_EQ(TakeMessage(driver).shown.text, why);
        driver.Press(Key::Escape);
        driver.Choose(ID_OPTION_CHANGEPASSWORD);
        ChangePassword(driver, u"alice", u"secret", u"new", u"new");
        EXPECT_EQ(TakeMessage(driver).shown.text, u"The password was not changed.\n\n" + why + u" Nothing was changed.");
    });
}

TEST_F(ChangePasswordDialog, AFailedRenameIsNeverReportedAsSuccess)
{
    WriteUserFile(Utf8File("alice:old\n"));
    Run([this](Driver& driver) {
        driver.Choose(ID_OPTION_CHANGEPASSWORD);
        FailEvery(driver, files::FileCall::Rename, EACCES);
        ChangePassword(driver, u"alice", u"old", u"new", u"new");
        const Shown shown = TakeMessage(driver).shown;
        EXPECT_EQ(shown.caption, u"Failed");
        EXPECT_TRUE(shown.text.starts_with(u"The password was not changed."));
    });
    EXPECT_EQ(UserFile(), Utf8File("alice:old\n"));
    EXPECT_FALSE(TemporaryFileExists());
}

}  // namespace
