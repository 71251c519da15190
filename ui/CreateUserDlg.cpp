#include "ui/CreateUserDlg.h"

#include "platform/gui/DataExchange.h"
#include "platform/gui/SystemNumbers.h"
#include "res/ResourceIds.h"
#include "store/RecordKey.h"
#include "store/UserFile.h"

const MessageMap CCreateUserDlg::messageMap{&CDialog::messageMap, {
    {WM_COMMAND, IDOK, &CCreateUserDlg::OnCreateButton},
}};

CCreateUserDlg::CCreateUserDlg(CWnd* parent) : CDialog(IDD_CREATEUSER, parent)
{
}

int CCreateUserDlg::InitDialog()
{
    CDialog::InitDialog();
    FocusControl(IDC_USERNAME);
    return 0;
}

void CCreateUserDlg::DoDataExchange(DataExchange& exchange)
{
    CDialog::DoDataExchange(exchange);
    exchange.Text(IDC_USERNAME, m_username);
    exchange.Text(IDC_PASSWORD, m_password);
    exchange.Text(IDC_CONFIRMPASSWORD, m_confirmPassword);
}

void CCreateUserDlg::ShowNotCreated(const std::u16string& why)
{
    ShowMessage(u"User " + m_username + u" was not created.\n\n" + why, u"Error", MB_ICONERROR);
}

void CCreateUserDlg::OnCreateButton()
{
    SaveFields();
    if (m_username.empty() || m_password.empty() || m_confirmPassword.empty()) {
        ShowMessage(u"Username / Password cannot be blank", u"Error", MB_ICONERROR);
        return;
    }
    const std::u16string key = store::RecordKey(m_username, m_password);

    // The duplicate check comes before the passwords' match. When they agree,
    // the append's own check under the lock is that check, so the file is
    // read once; it also keeps a second copy of the program from adding the
    // same line since.
    if (m_password != m_confirmPassword) {
        // A user file that is not there yet is no duplicate; one that cannot
        // be read is reported rather than passed over.
        const auto scan = store::ScanUserFile(key);
        if (scan.GetOutcome() == store::ScanOutcome::Failed) {
            ShowNotCreated(scan.Message());
            return;
        }
        if (scan.GetOutcome() == store::ScanOutcome::Found) {
            ShowMessage(u"Username/Password already exist", u"Error", MB_ICONERROR);
            return;
        }
        ShowMessage(u"Passwords do not match", u"Error", MB_ICONERROR);
        return;
    }

    const auto append = store::AppendRecord(key, store::Duplicates::Refuse);
    switch (append.GetOutcome()) {
    case store::AppendOutcome::Written:
        EndModal(IDOK);
        ShowMessage(u"User " + m_username + u" created.", u"Successful", MB_OK);
        return;
    case store::AppendOutcome::AlreadyPresent:
        ShowMessage(u"Username/Password already exist", u"Error", MB_ICONERROR);
        return;
    case store::AppendOutcome::NotChecked:
        ShowNotCreated(append.Message());
        return;
    case store::AppendOutcome::Failed:
        // A failure after the new line was in place is told as it is.
        if (append.UserFileChanged()) {
            EndModal(IDOK);
            ShowMessage(append.Message(), u"Error", MB_ICONWARNING);
            return;
        }
        ShowMessage(u"User " + m_username + u" was not saved.\n\n" + append.Message(), u"Error", MB_ICONERROR);
        return;
    }
}
