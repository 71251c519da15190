#include "tests/gui/AccountTest.h"

#include "platform/gui/Unicode.h"
#include "res/ResourceIds.h"

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
