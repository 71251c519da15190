#include "tests/gui/AccountTest.h"

#include "platform/gui/SystemNumbers.h"
#include "res/ResourceIds.h"
#include "ui/CreateUserDlg.h"
#include "ui/QuillmarkDlg.h"

#include <cerrno>

namespace {

using CreateUserDialog = AccountDialog;

const Shown kBlank{u"Username / Password cannot be blank", u"Error", BoxIcon::Error};
const Shown kDuplicate{u"Username/Password already exist", u"Error", BoxIcon::Error};
const Shown kMismatch{u"Passwords do not match", u"Error", BoxIcon::Error};

Shown Created(std::u16string_view user)
{
    return {u"User " + std::u16string(user) + u" created.", u"Successful", BoxIcon::None};
}

// ---- Refused presses leave the dialog open, the fields as typed, the file alone.

TEST_F(CreateUserDialog, RefusesAnyBlankFieldWithoutReadingTheFile)
{
    WriteUserFile("not even a record");
    Run([](Driver& driver) {
        driver.Choose(ID_FILE_CREATEUSER);
        for (const auto& [user, password, confirm] : {std::tuple{u"", u"", u""}, {u"alice", u"pw", u""},
                                                      {u"", u"pw", u"pw"}, {u"alice", u"", u"pw"}}) {
            CreateUser(driver, user, password, confirm);
            EXPECT_EQ(TakeMessage(driver).shown, kBlank);
            EXPECT_TRUE(IsOpen<CCreateUserDlg>(driver));
            EXPECT_EQ(driver.Text(IDC_USERNAME), user);
            EXPECT_EQ(driver.Text(IDC_CONFIRMPASSWORD), confirm);
        }
    });
    EXPECT_EQ(UserFile(), "not even a record");
}

TEST_F(CreateUserDialog, RefusesAnExistingRecordWithOneMessageEvenWhenTheConfirmationDiffers)
{
    WriteUserFile(Utf8File("alice:secret\n"));
    Run([](Driver& driver) {
        driver.Choose(ID_FILE_CREATEUSER);
        for (const std::u16string_view confirm : {u"other", u"secret"}) {
            CreateUser(driver, u"alice", u"secret", confirm);
            EXPECT_EQ(TakeMessage(driver).shown, kDuplicate);
            EXPECT_FALSE(driver.ActiveMessageBox()) << "no second message";
            EXPECT_TRUE(IsOpen<CCreateUserDlg>(driver));
        }
    });
    EXPECT_EQ(UserFile(), Utf8File("alice:secret\n"));
}

TEST_F(CreateUserDialog, RefusesPasswordsThatDifferOnlyInCase)
{
    Run([](Driver& driver) {
        driver.Choose(ID_FILE_CREATEUSER);
        CreateUser(driver, u"alice", u"secret", u"Secret");
        EXPECT_EQ(TakeMessage(driver).shown, kMismatch);
        EXPECT_TRUE(IsOpen<CCreateUserDlg>(driver));
        EXPECT_EQ(driver.Text(IDC_PASSWORD), u"secret");
    });
    EXPECT_FALSE(UserFile());
}

// ---- A successful press appends one line, ends the dialog, then says so.

TEST_F(CreateUserDialog, CreatesTheUserFileWithTheOneRecord)
{
    Run([](Driver& driver) {
        driver.Choose(ID_FILE_CREATEUSER);
        EXPECT_EQ(driver.FocusedControl(), IDC_USERNAME);
        CreateUser(driver, u"alice", u"secret", u"secret");
        const Message message = TakeMessage(driver);
        EXPECT_EQ(message.shown, Created(u"alice"));
        EXPECT_FALSE(message.dialogVisible) << "the dialog ends before its message";
        EXPECT_TRUE(IsOpen<CQuillmarkDlg>(driver));
    });
    EXPECT_EQ(UserFile(), Utf8File("alice:secret" + testing_support::NewFileLineEnd));
}

TEST_F(CreateUserDialog, AppendsWhatIsNotTheSameWholeLine)
{
    WriteUserFile(Utf8File("alice:secret\n"));
    Run([](Driver& driver) {
        for (const auto& [user, password] : {std::pair{u"alice", u"other"}, {u"Alice", u"secret"}, {u" ", u" "},
                                            {u"a:b", u"c"}}) {
            driver.Choose(ID_FILE_CREATEUSER);
            CreateUser(driver, user, password, password);
            EXPECT_EQ(TakeMessage(driver).shown, Created(user));
        }
    });
    EXPECT_EQ(UserFile(), Utf8File("alice:secret\nalice:other\nAlice:secret\n : \na:b:c\n"));
}

TEST_F(CreateUserDialog, ReadsTheFileAfreshOnEachPress)
{
    WriteUserFile(Utf8File("alice:secret\n"));
    Run([](Driver& driver) {
        driver.Choose(ID_FILE_CREATEUSER);
        CreateUser(driver, u"alice", u"secret", u"secret");
        EXPECT_EQ(TakeMessage(driver).shown, kDuplicate);
        WriteUserFile(Utf8File("bob:x\n"));
        driver.Press(Key::Enter);
        EXPECT_EQ(TakeMessage(driver).shown, Created(u"alice"));
    });
    EXPECT_EQ(UserFile(), Utf8File("bob:x\nalice:secret\n"));
}

TEST_F(CreateUserDialog, CancelAfterRefusalsWritesNothing)
{
    Run([](Driver& driver) {
        driver.Choose(ID_FILE_CREATEUSER);
        CreateUser(driver, u"alice", u"a", u"b");
        TakeMessage(driver);
        driver.Click(IDCANCEL);
        EXPECT_TRUE(IsOpen<CQuillmarkDlg>(driver));
    });
    EXPECT_FALSE(UserFile());
}

TEST_F(CreateUserDialog, MasksBothPasswordsWhateverTheOption)
{
    Run([](Driver& driver) {
        driver.Choose(ID_OPTION_DISPLAYPASSWORD);
        driver.Choose(ID_FILE_CREATEUSER);
        EXPECT_TRUE(driver.IsMasked(IDC_PASSWORD));
        EXPECT_TRUE(driver.IsMasked(IDC_CONFIRMPASSWORD));
        EXPECT_FALSE(driver.IsMasked(IDC_USERNAME));
    });
}

TEST_F(CreateUserDialog, EachFieldTakesWhatANativeEditTakesAndNoMore)
{
    Run([](Driver& driver) {
        driver.Choose(ID_FILE_CREATEUSER);
        for (const int field : {IDC_USERNAME, IDC_PASSWORD, IDC_CONFIRMPASSWORD}) {
            driver.Type(field, std::u16string(40000, u'p'));
            EXPECT_EQ(driver.Text(field).size(), 32767u);
        }
    });
}

// ---- The store's failures reach the user, and no account is lost.

TEST_F(CreateUserDialog, AFullDiskIsReportedAndTheDialogStaysOpen)
{
    WriteUserFile(Utf8File("bob:x\n"));
    Run([this](Driver& driver) {
        driver.Choose(ID_FILE_CREATEUSER);
        FailEvery(driver, files::FileCall::Write, ENOSPC);
        CreateUser(driver, u"alice", u"secret", u"secret");
        const Shown shown = TakeMessage(driver).shown;
        EXPECT_EQ(shown.caption, u"Error");
        EXPECT_EQ(shown.icon, BoxIcon::Error);
        EXPECT_TRUE(shown.text.starts_with(u"User alice was not saved.")) << shown.text.size();
        EXPECT_NE(shown.text.find(u"No space left on device"), std::u16string::npos);
        EXPECT_TRUE(IsOpen<CCreateUserDlg>(driver));
        EXPECT_EQ(driver.Text(IDC_USERNAME), u"alice");

        Heal(driver);
        driver.Press(Key::Enter);
        EXPECT_EQ(TakeMessage(driver).shown, Created(u"alice"));
    });
    EXPECT_EQ(UserFile(), Utf8File("bob:x\nalice:secret\n"));
}

TEST_F(CreateUserDialog, ALineWrittenWhoseFolderWasNotSavedEndsTheDialogAndSaysSo)
{
    Run([this](Driver& driver) {
        driver.Choose(ID_FILE_CREATEUSER);
        // The line is saved twice; the third save is the new file's folder entry.
        FailOnce(driver, files::FileCall::Sync, 3, EIO);
        CreateUser(driver, u"alice", u"secret", u"secret");
        const Message message = TakeMessage(driver);
        EXPECT_EQ(message.shown.icon, BoxIcon::Warning);
        EXPECT_EQ(message.shown.text, u"The change was made, but the folder " + std::filesystem::current_path().u16string()
                                          + u" could not be saved to disk: Input/output error. It may be lost if the"
                                            u" computer stops before the disk catches up.");
        EXPECT_FALSE(message.dialogVisible) << "the account is there: the dialog ends";
        EXPECT_TRUE(IsOpen<CQuillmarkDlg>(driver));
    });
    EXPECT_EQ(UserFile(), Utf8File("alice:secret" + testing_support::NewFileLineEnd));
}

TEST_F(CreateUserDialog, AnUnreadableFileIsReportedRatherThanPassedOver)
{
    WriteUserFile(Utf8File("alice:secret\n"));
    Run([this](Driver& driver) {
        driver.Choose(ID_FILE_CREATEUSER);
        FailEvery(driver, files::FileCall::Read, EIO);
        // The check before the append, or the one under its lock: the same words.
        for (const std::u16string_view confirm : {u"secret", u"other"}) {
            CreateUser(driver, u"alice", u"secret", confirm);
            const Shown shown = TakeMessage(driver).shown;
            EXPECT_EQ(shown.caption, u"Error");
            EXPECT_TRUE(shown.text.starts_with(u"User alice was not created.\n\n")) << shown.text.size();
            EXPECT_NE(shown.text.find(u"Input/output error"), std::u16string::npos);
            EXPECT_TRUE(IsOpen<CCreateUserDlg>(driver));
        }
        // A read that fails once, under the append's lock, is that check's failure too.
        Heal(driver);
        driver.Call([this] { m_disk.FailCall(files::FileCall::Read, 1, EIO); });
        CreateUser(driver, u"bob", u"secret", u"secret");
        EXPECT_TRUE(TakeMessage(driver).shown.text.starts_with(u"User bob was not created.\n\n"));
    });
    EXPECT_EQ(UserFile(), Utf8File("alice:secret\n"));
}

}  // namespace
