#include "tests/gui/AccountTest.h"

#include "res/ResourceIds.h"

#include <filesystem>

namespace {

using ChangePasswordDialog = AccountDialog;
using ChangePasswordPress = DialogPress;

const Shown kChanged{u"Password change successful", u"Successful", BoxIcon::None};
const Shown kNotChanged{u"Incorrect Old Password. Enter password again", u"Failed", BoxIcon::None};
const Shown kFailed{u"The password was not changed.\n\n…", u"Failed", BoxIcon::Error};
const Shown kChangedButUnsaved{u"The change was made, but the folder … could not be saved to disk: Input/output error. "
                                u"It may be lost if the computer stops before the disk catches up.",
                                u"Failed", BoxIcon::Warning};

// Which lines change, and in which bytes, is the store's to test; here each
// outcome of the store reaches the user as its box, after or over the dialog.
std::vector<Press> Presses()
{
    const std::string accounts = Utf8File("bob:x\nalice:old\ncarol:y");
    const std::string changed = Utf8File("bob:x\nalice:new\ncarol:y\n");
    using enum Then;
    return {
        {"Changes", accounts, {u"alice", u"old", u"new", u"new"}, {}, kChanged, EndsBeforeTheBox, changed},
        {"TakesAnEmptyNewPassword", accounts, {u"alice", u"old", u"", u""}, {}, kChanged,
         EndsBeforeTheBox, Utf8File("bob:x\nalice:\ncarol:y\n")},
        {"TakesTheSamePassword", accounts, {u"alice", u"old", u"old", u"old"}, {}, kChanged, EndsBeforeTheBox, {}},
        {"AWrongOldPasswordChangesNothing", accounts, {u"alice", u"wrong", u"new", u"new"}, {}, kNotChanged,
         EndsBeforeTheBox, {}},
        {"AConfirmationThatDiffersChangesNothing", accounts, {u"alice", u"old", u"new", u"old"}, {}, kNotChanged,
         EndsBeforeTheBox, {}},
        {"WithoutAUserFileNothingHappens", {}, {u"alice", u"old", u"new", u"new"}, {}, {}, StaysOpen, {}},
        {"WithoutAUserFileADifferentConfirmationNothingHappens", {}, {u"alice", u"old", u"new", u"other"}, {}, {},
         StaysOpen, {}},
        {"ALineBreakInAFieldIsRefused", accounts, {u"bob", u"x\ncarol:y", u"z", u"z"}, {}, kFailed, StaysOpen, {}},
        {"AFullDiskChangesNothing", accounts, {u"alice", u"old", u"new", u"new"}, {files::FileCall::Write, files::FullDisk},
         {u"The password was not changed.\n\n…No space left on device…", u"Failed", BoxIcon::Error}, StaysOpen, {}},
        {"AFailedRenameChangesNothing", accounts, {u"alice", u"old", u"new", u"new"},
         {files::FileCall::Rename, files::NoPermission}, kFailed, StaysOpen, {}},
        // The copy is saved, renamed, then its folder entry saved: that fails.
        {"AFolderNotSavedAfterTheRenameIsToldAsItIs", accounts, {u"alice", u"old", u"new", u"new"},
         {files::FileCall::Sync, files::BrokenDisk, 2}, kChangedButUnsaved, EndsBeforeTheBox, changed},
    };
}

TEST_P(ChangePasswordPress, Outcome)
{
    PressOk(ID_OPTION_CHANGEPASSWORD, {IDC_USERNAME, IDC_PASSWORD, IDC_NEWPASSWORD, IDC_CONFIRMPASSWORD});
}
INSTANTIATE_TEST_SUITE_P(Table, ChangePasswordPress, ::testing::ValuesIn(Presses()), NameOf);

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
        for (const int field : {IDC_PASSWORD, IDC_NEWPASSWORD, IDC_CONFIRMPASSWORD})
            EXPECT_TRUE(driver.IsMasked(field));
    });
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

}  // namespace
