#include "platform/gui/WinApp.h"
#include "platform/gui/qt/QtText.h"

#include <QApplication>
#include <QFileInfo>

int RunApplication(int argc, char** argv)
{
    QApplication application(argc, argv);
    // Wayland desktops find the menu entry, and so the icon, by this app id.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUILLMARK_APP_ID));
    // Only the end of InitInstance, or of the loop, ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    return CWinApp::RunInstance();
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
