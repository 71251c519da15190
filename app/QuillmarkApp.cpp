#include "app/QuillmarkApp.h"

#include "platform/gui/CommonControls.h"
#include "platform/gui/SystemNumbers.h"
#include "ui/QuillmarkDlg.h"

const MessageMap CQuillmarkApp::messageMap{&CWinApp::messageMap, {
    {WM_COMMAND, ID_HELP, &CQuillmarkApp::OnHelp},
}};

CQuillmarkApp theApp;

bool CQuillmarkApp::InitInstance()
{
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);

    CWinApp::InitInstance();
    SetRegistryKey(u"Local AppWizard-Generated Applications");

    CQuillmarkDlg dialog;
    SetMainWindow(&dialog);
    dialog.RunModal();
    // The program ends with its main window: no loop follows.
    SetMainWindow(nullptr);
    return false;
}
