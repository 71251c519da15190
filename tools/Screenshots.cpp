// Renders the program's windows to PNG pictures for the documentation:
//   screenshots OUTPUT_FOLDER
// scripts/screenshots runs the Linux one, tools/screenshots-windows the Windows
// one under Wine on a virtual X server; its pictures are named windows-*.png.
#include "app/QuillmarkApp.h"
#include "tools/driver/Driver.h"
#include "tools/Tour.h"

#ifndef _WIN32
#include <QApplication>
#endif

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: screenshots OUTPUT_FOLDER\n", stderr);
        return 2;
    }
#ifdef _WIN32
    const std::string prefix = std::string(argv[1]) + "/windows-";
#else
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const std::string prefix = std::string(argv[1]) + "/";
#endif

    Driver driver;
    driver.Run([] { theApp.InitInstance(); }, [&prefix](Driver& d) { TakePictures(d, prefix); });
    return 0;
}
