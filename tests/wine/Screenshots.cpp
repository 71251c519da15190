// Renders the Windows program's windows to PNG pictures for the documentation:
//   screenshots.exe OUTPUT_FOLDER
// tests/wine/screenshots runs it under Wine on a virtual X server.
#include "app/QuillmarkApp.h"
#include "res/ResourceIds.h"
#include "tests/driver/Driver.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: screenshots OUTPUT_FOLDER\n", stderr);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/windows-";

    Driver driver;
    driver.Run([] { theApp.InitInstance(); }, [&folder](Driver& d) {
        d.Screenshot(folder + "main-window.png");
        d.Choose(ID_HELP_ABOUT);
        d.Screenshot(folder + "about.png");
        d.Press(Key::Escape);
        d.Choose(ID_FILE_CREATEUSER);
        d.Type(IDC_USERNAME, u"alice");
        d.Type(IDC_PASSWORD, u"wonderland");
        d.Type(IDC_CONFIRMPASSWORD, u"wonderland");
        d.Screenshot(folder + "create-user.png");
        d.Press(Key::Escape);
        d.Choose(ID_OPTION_DISPLAYPASSWORD);
        d.Choose(ID_FILE_LOGIN);
        d.Type(IDC_USERNAME, u"alice");
        d.Type(IDC_PASSWORD, u"wonderland");
        d.Screenshot(folder + "login.png");
        d.Press(Key::Escape);
        d.Choose(ID_OPTION_CHANGEPASSWORD);
        d.Type(IDC_USERNAME, u"alice");
        d.Type(IDC_PASSWORD, u"wonderland");
        d.Type(IDC_NEWPASSWORD, u"looking-glass");
        d.Type(IDC_CONFIRMPASSWORD, u"looking-glass");
        d.Screenshot(folder + "change-password.png");
        d.Press(Key::Escape);
        d.Press(Key::Escape);
    });
    return 0;
}
