#include "tests/gui/AccountTest.h"

#include "platform/gui/SystemNumbers.h"
#include "res/ResourceIds.h"
#include "ui/QuillmarkDlg.h"


namespace {

using CreateUserDialog = AccountDialog;
using CreateUserPress = DialogPress;

const Shown kBlank{u"Username / Password cannot be blank", u"Error", BoxIcon::Error};
const Shown kDuplicate{u"Username/Password already exist", u"Error", BoxIcon::Error};
const Shown kMismatch{u"Passwords do not match", u"Error", BoxIcon::Error};

Shown Created(std::u16string_view user)
{
    return {u"User " + std::u16string(user) + u" created.", u"Successful", BoxIcon::None};
}

// Which lines count as the same is the store's to test; here each outcome
// reaches the user as its box, after or over the dialog.
std::vector<Press> Presses()
{
    const std::string accounts = Utf8File("bob:x\n");
    const std::string duplicate = Utf8File("alice:secret\n");
    const std::string created = Utf8File("alice:secret" + testing_support::NewFileLineEnd);
    const Shown writtenButUnsaved{u"The change was made, but the folder … could not be saved to disk: Input/output "
                                   u"error. It may be lost if the computer stops before the disk catches up.",
                                   u"Error", BoxIcon::Warning};
    const Shown notCreated{u"User alice was not created.\n\n…Input/output error…", u"Error", BoxIcon::Error};
    using enum Then;
    return {
        {"CreatesTheUserFile", {}, {u"alice", u"secret", u"secret"}, {}, Created(u"alice"), EndsBeforeTheBox, created},
        {"Appends", accounts, {u"alice", u"secret", u"secret"}, {}, Created(u"alice"), EndsBeforeTheBox,
         Utf8File("bob:x\nalice:secret\n")},
        {"AllBlank", "not even a record", {u"", u"", u""}, {}, kBlank, StaysOpen, {}},
        {"BlankUser", accounts, {u"", u"pw", u"pw"}, {}, kBlank, StaysOpen, {}},
        {"BlankPassword", accounts, {u"alice", u"", u"pw"}, {}, kBlank, StaysOpen, {}},
        {"BlankConfirmation", accounts, {u"alice", u"pw", u""}, {}, kBlank, StaysOpen, {}},
        {"ADuplicate", duplicate, {u"alice", u"secret", u"secret"}, {}, kDuplicate, StaysOpen, {}},
        {"ADuplicateWhoseConfirmationDiffers", duplicate, {u"alice", u"secret", u"other"}, {}, kDuplicate,
         StaysOpen, {}},
        {"PasswordsThatDifferInCase", {}, {u"alice", u"secret", u"Secret"}, {}, kMismatch, StaysOpen, {}},
        {"AFullDisk", accounts, {u"alice", u"secret", u"secret"}, {files::FileCall::Write, files::FullDisk},
         {u"User alice was not saved.\n\n…No space left on device…", u"Error", BoxIcon::Error}, StaysOpen, {}},
        // The check under the append's lock, or the one before the passwords' match.
        {"AnUnreadableFile", duplicate, {u"alice", u"secret", u"secret"}, {files::FileCall::Read, files::BrokenDisk}, notCreated,
         StaysOpen, {}},
        {"AnUnreadableFileWhenTheConfirmationDiffers", duplicate, {u"alice", u"secret", u"other"},
         {files::FileCall::Read, files::BrokenDisk}, notCreated, StaysOpen, {}},
        // The line is saved twice; the third save is the new file's folder entry.
        {"AFolderNotSavedAfterTheLineIsToldAsItIs", {}, {u"alice", u"secret", u"secret"},
         {files::FileCall::Sync, files::BrokenDisk, 3}, writtenButUnsaved, EndsBeforeTheBox, created},
    };
}

TEST_P(CreateUserPress, Outcome)
{
    PressOk(ID_FILE_CREATEUSER, {IDC_USERNAME, IDC_PASSWORD, IDC_CONFIRMPASSWORD});
}
INSTANTIATE_TEST_SUITE_P(Table, CreateUserPress, ::testing::ValuesIn(Presses()), NameOf);

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

}  // namespace
