// Starts Quillmark as its main does, and closes the main window as soon as
// its loop runs: the start-up of the program, timed as a whole process.
#include "app/QuillmarkApp.h"
#include "platform/gui/SystemNumbers.h"
#include "platform/gui/Window.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QTimer::singleShot(0, [] { theApp.GetMainWindow()->SendMessage(WM_CLOSE); });
    return theApp.InitInstance() ? 1 : 0;
}
