#include "platform/gui/WinApp.h"
#include "platform/gui/qt/QtText.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

struct HeldMessage {
    QtMsgType type;
    const char* file;
    int line;
    const char* function;
    const char* category;
    QString text;
};

std::vector<HeldMessage> g_heldMessages;

// Qt ends a program that finds no window system it can use with an abort and
// advice to reinstall; the user needs to hear what is missing instead. What
// Qt says while it starts is held back until it is known to have started.
void HoldStartupMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type != QtFatalMsg) {
        g_heldMessages.push_back({type, context.file, context.line, context.function, context.category, text});
        return;
    }
    std::fputs("Quillmark cannot show its windows: it found no display (DISPLAY or WAYLAND_DISPLAY) that it can "
               "open; to run it without one, set QT_QPA_PLATFORM=offscreen.\n",
               stderr);
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace

int RunApplication(int, char** argv)
{
    // The program takes no arguments, so none of Qt's own (-platform, -style,
    // -reverse...) may change it either: Qt sees the program's name alone.
    int qtArgumentCount = 1;
    const QtMessageHandler previous = qInstallMessageHandler(HoldStartupMessage);
    QApplication application(qtArgumentCount, argv);
    qInstallMessageHandler(previous);
    for (const HeldMessage& message : std::exchange(g_heldMessages, {})) {
        const QMessageLogContext context(message.file, message.line, message.function, message.category);
        qt_message_output(message.type, context, message.text);
    }
    // Wayland desktops find the menu entry, and so the icon, by this app id;
    // X11 desktops by the window class, which Qt takes from this name, not
    // from the command's lower-case one.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUILLMARK_APP_ID));
    QCoreApplication::setApplicationName(QStringLiteral(QUILLMARK_NAME));
    // Only the end of InitInstance, or of the loop, ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    const int status = CWinApp::RunInstance();
    // Tearing down Qt's Wayland connection can wait for good on its event
    // thread (1 exit in 10 or so on weston). Every file is closed and every
    // window gone by now, so the process ends without that teardown.
    if (QGuiApplication::platformName().startsWith(QStringLiteral("wayland"))) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}

int CWinThread::Run()
{
    QApplication::exec();
    return ExitInstance();
}

std::u16string CWinApp::Title() const
{
    return ToU16String(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
}

void CWinApp::SetRegistryKey(std::u16string_view company)
{
    m_registryKey = company;
    QCoreApplication::setOrganizationName(ToQString(company));
}
