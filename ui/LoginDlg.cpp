#include "ui/LoginDlg.h"

#include "platform/gui/DataExchange.h"
#include "platform/gui/Menu.h"
#include "platform/gui/SystemNumbers.h"
#include "res/ResourceIds.h"
#include "store/RecordKey.h"
#include "store/UserFile.h"
#include "ui/LoginState.h"

const MessageMap CLoginDlg::messageMap{&CDialog::messageMap, {
    {WM_COMMAND, IDOK, &CLoginDlg::OnLoginButton},
}};

CLoginDlg::CLoginDlg(CWnd* parent) : CDialog(IDD_LOGIN, parent)
{
}

int CLoginDlg::InitDialog()
{
    CDialog::InitDialog();
    FocusControl(IDC_USERNAME);
    // The option is read once, as the dialog opens.
    const Menu* menu = MainWindowMenu();
    const unsigned state = menu ? menu->GetMenuState(ID_OPTION_DISPLAYPASSWORD, MF_BYCOMMAND) : 0;
    if (state != MENU_ITEM_MISSING && (state & MF_CHECKED))
        SendDlgItemMessage(IDC_PASSWORD, EM_SETPASSWORDCHAR, 0);
    return 0;
}

void CLoginDlg::DoDataExchange(DataExchange& exchange)
{
    CDialog::DoDataExchange(exchange);
    exchange.Text(IDC_USERNAME, m_username);
    exchange.Text(IDC_PASSWORD, m_password);
}

void CLoginDlg::OnLoginButton()
{
    SaveFields();
    const auto scan = store::ScanUserFile(store::RecordKey(m_username, m_password));
    switch (scan.GetOutcome()) {
    case store::ScanOutcome::Missing:
        ShowMessage(u"Create a user before logging in.", MB_ICONWARNING);
        EndModal(IDOK);
        return;
    case store::ScanOutcome::Found:
        ShowMessage(u"Login successful", u"Successful", MB_OK);
        EndModal(IDOK);
        ShowLoginState(LoginState::LoggedIn);
        return;
    case store::ScanOutcome::NotFound:
        ShowMessage(u"Incorrect Username/Password. Try Again ", u"Error", MB_ICONERROR);
        return;
    case store::ScanOutcome::Failed:
        // A user file that exists but cannot be read is no reason to create a user.
        ShowMessage(scan.Message(), u"Error", MB_ICONERROR);
        return;
    }
}
