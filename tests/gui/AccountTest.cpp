#include "tests/gui/AccountTest.h"

#include "platform/gui/Unicode.h"
#include "res/ResourceIds.h"
#include "ui/QuillmarkDlg.h"

void PrintTo(const Shown& shown, std::ostream* out)
{
    *out << '"' << Utf16ToUtf8(shown.text) << "\" captioned \"" << Utf16ToUtf8(shown.caption) << "\" with icon "
         << static_cast<int>(shown.icon);
}

Message TakeMessage(Driver& driver)
{
    const auto box = driver.ActiveMessageBox();
    if (!box) {
        ADD_FAILURE() << "no message box is shown";
        return {};
    }
    driver.Dismiss();
    return {{box->text, box->caption, box->icon}, box->ownerVisible};
}

namespace {

// Whether the text reads as the pattern, each "…" in it standing for any words.
bool Reads(std::u16string_view text, std::u16string_view pattern)
{
    const std::size_t gap = pattern.find(u'…');
    if (gap == std::u16string_view::npos)
        return text == pattern;
    if (!text.starts_with(pattern.substr(0, gap)))
        return false;
    text.remove_prefix(gap);
    pattern.remove_prefix(gap + 1);
    for (std::size_t skip = 0; skip <= text.size(); ++skip)
        if (Reads(text.substr(skip), pattern))
            return true;
    return false;
}

} // namespace

void PrintTo(const Press& press, std::ostream* out)
{
    *out << press.name;
}

std::string NameOf(const ::testing::TestParamInfo<Press>& info)
{
    return info.param.name;
}

void DialogPress::PressOk(int command, const std::vector<int>& edits, const std::function<void(Driver&)>& more)
{
    const Press& press = GetParam();
    if (press.before)
        WriteUserFile(*press.before);
    Run([&](Driver& driver) {
        driver.Choose(command);
        EXPECT_EQ(driver.FocusedControl(), edits.front());
        for (std::size_t edit = 0; edit < edits.size(); ++edit)
            driver.Type(edits[edit], press.typed[edit]);
        if (press.fault.injected)
            Inject(driver, press.fault);
        driver.Press(Key::Enter);

        const bool open = press.then == Then::StaysOpen;
        if (press.shown.text.empty()) {
            EXPECT_FALSE(driver.ActiveMessageBox());
        } else {
            const Message message = TakeMessage(driver);
            const Shown& shown = message.shown;
            EXPECT_EQ(shown.caption, press.shown.caption.empty() ? theApp.Title() : press.shown.caption);
            EXPECT_EQ(shown.icon, press.shown.icon);
            EXPECT_TRUE(Reads(shown.text, press.shown.text)) << Utf16ToUtf8(shown.text);
            EXPECT_EQ(message.dialogVisible, press.then != Then::EndsBeforeTheBox);
            EXPECT_FALSE(driver.ActiveMessageBox()) << "one box a press";
        }
        EXPECT_EQ(!IsOpen<CQuillmarkDlg>(driver), open);
        for (std::size_t edit = 0; open && edit < edits.size(); ++edit)
            EXPECT_EQ(driver.Text(edits[edit]), press.typed[edit]) << "kept as typed, to try again";
        if (more)
            more(driver);
    });
    EXPECT_EQ(UserFile(), press.after ? press.after : press.before);
    EXPECT_FALSE(TemporaryFileExists());
}

std::string Utf8File(std::string_view lines)
{
    return "\xEF\xBB\xBF" + std::string(lines);
}

void CreateUser(Driver& driver, std::u16string_view user, std::u16string_view password, std::u16string_view confirm)
{
    driver.Type(IDC_USERNAME, user);
    driver.Type(IDC_PASSWORD, password);
    driver.Type(IDC_CONFIRMPASSWORD, confirm);
    driver.Press(Key::Enter);
}

void LogIn(Driver& driver, std::u16string_view user, std::u16string_view password)
{
    driver.Type(IDC_USERNAME, user);
    driver.Type(IDC_PASSWORD, password);
    driver.Press(Key::Enter);
}

void ChangePassword(Driver& driver, std::u16string_view user, std::u16string_view oldPassword,
                    std::u16string_view newPassword, std::u16string_view confirm)
{
    driver.Type(IDC_USERNAME, user);
    driver.Type(IDC_PASSWORD, oldPassword);
    driver.Type(IDC_NEWPASSWORD, newPassword);
    driver.Type(IDC_CONFIRMPASSWORD, confirm);
    driver.Press(Key::Enter);
}
