#include "ui/ChangePasswordDlg.h"

#include "platform/gui/DataExchange.h"
#include "platform/gui/SystemNumbers.h"
#include "res/ResourceIds.h"
#include "store/RecordKey.h"
#include "store/UserFile.h"

namespace {

// What a rewrite that changes no line would have said, from a scan.
store::StoreResult<store::RewriteOutcome> Unchanged(const store::StoreResult<store::ScanOutcome>& scan)
{
    switch (scan.GetOutcome()) {
    case store::ScanOutcome::Missing: return {store::RewriteOutcome::Missing, scan.Message()};
    case store::ScanOutcome::Failed: return {store::RewriteOutcome::Failed, scan.Message()};
    case store::ScanOutcome::Found:
    case store::ScanOutcome::NotFound: break;
    }
    return {store::RewriteOutcome::Unchanged};
}

} // namespace

const MessageMap CChangePasswordDlg::messageMap{&CDialog::messageMap, {
    {WM_COMMAND, IDOK, &CChangePasswordDlg::OnOkButton},
}};

CChangePasswordDlg::CChangePasswordDlg(CWnd* parent) : CDialog(IDD_CHANGEPASSWORD, parent)
{
}

int CChangePasswordDlg::InitDialog()
{
    CDialog::InitDialog();
    FocusControl(IDC_USERNAME);
    return 0;
}

void CChangePasswordDlg::DoDataExchange(DataExchange& exchange)
{
    CDialog::DoDataExchange(exchange);
    exchange.Text(IDC_USERNAME, m_username);
    exchange.Text(IDC_PASSWORD, m_oldPassword);
    exchange.Text(IDC_NEWPASSWORD, m_newPassword);
    exchange.Text(IDC_CONFIRMPASSWORD, m_confirmPassword);
}

void CChangePasswordDlg::OnOkButton()
{
    SaveFields();
    const std::u16string key = store::RecordKey(m_username, m_oldPassword);
    // A new password that its confirmation does not repeat changes no line:
    // the user hears the same as for a wrong old password.
    const auto rewrite = m_newPassword == m_confirmPassword
                             ? store::RewriteUserFile(key, store::RecordKey(m_username, m_newPassword))
                             : Unchanged(store::ScanUserFile(key));

    switch (rewrite.GetOutcome()) {
    case store::RewriteOutcome::Missing:
        return;
    case store::RewriteOutcome::Done:
        EndModal(IDOK);
        ShowMessage(u"Password change successful", u"Successful", MB_OK);
        return;
    case store::RewriteOutcome::Unchanged:
        EndModal(IDOK);
        ShowMessage(u"Incorrect Old Password. Enter password again", u"Failed", MB_OK);
        return;
    case store::RewriteOutcome::Failed:
        // Success is shown only when the new file is in place. A failure after
        // that point is told as it is; before it, the dialog stays open with
        // the fields as typed, to try again.
        if (rewrite.UserFileChanged()) {
            EndModal(IDOK);
            ShowMessage(rewrite.Message(), u"Failed", MB_ICONWARNING);
            return;
        }
        ShowMessage(u"The password was not changed.\n\n" + rewrite.Message(), u"Failed", MB_ICONERROR);
        return;
    }
}
