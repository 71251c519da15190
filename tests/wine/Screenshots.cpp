// Renders the Windows program's windows to PNG pictures for the documentation:
//   screenshots.exe OUTPUT_FOLDER
// tests/wine/screenshots runs it under Wine on a virtual X server.
#include "app/QuillmarkApp.h"
#include "tests/driver/Driver.h"
#include "tests/screenshots/Tour.h"

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
    driver.Run([] { theApp.InitInstance(); }, [&folder](Driver& d) { TakePictures(d, folder); });
    return 0;
}
