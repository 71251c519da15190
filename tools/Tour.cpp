#include "tools/Tour.h"

#include "res/ResourceIds.h"
#include "tools/driver/Driver.h"

void TakePictures(Driver& driver, const std::string& prefix)
{
    driver.Screenshot(prefix + "main-window.png");
    driver.Choose(ID_HELP_ABOUT);
    driver.Screenshot(prefix + "about.png");
    driver.Press(Key::Escape);

    driver.Choose(ID_FILE_CREATEUSER);
    driver.Type(IDC_USERNAME, u"alice");
    driver.Type(IDC_PASSWORD, u"wonderland");
    driver.Type(IDC_CONFIRMPASSWORD, u"wonderland");
    driver.Screenshot(prefix + "create-user.png");
    driver.Press(Key::Escape);

    driver.Choose(ID_OPTION_DISPLAYPASSWORD);
    driver.Choose(ID_FILE_LOGIN);
    driver.Type(IDC_USERNAME, u"alice");
    driver.Type(IDC_PASSWORD, u"wonderland");
    driver.Screenshot(prefix + "login.png");
    driver.Press(Key::Escape);

    driver.Choose(ID_OPTION_CHANGEPASSWORD);
    driver.Type(IDC_USERNAME, u"alice");
    driver.Type(IDC_PASSWORD, u"wonderland");
    driver.Type(IDC_NEWPASSWORD, u"looking-glass");
    driver.Type(IDC_CONFIRMPASSWORD, u"looking-glass");
    driver.Screenshot(prefix + "change-password.png");
    driver.Press(Key::Escape);
    driver.Press(Key::Escape);
}
