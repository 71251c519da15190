// Renders the program's windows to PNG pictures for the documentation:
//   screenshots OUTPUT_FOLDER
#include "app/QuillmarkApp.h"
#include "tests/driver/Driver.h"
#include "tests/screenshots/Tour.h"

#include <QApplication>

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: screenshots OUTPUT_FOLDER\n", stderr);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const std::string folder = argv[1];

    Driver driver;
    driver.Run([] { theApp.InitInstance(); }, [&folder](Driver& d) { TakePictures(d, folder + "/"); });
    return 0;
}
