#include "ui/ChangePasswordDlg.h"

#include "platform/DataExchange.h"
#include "platform/Messages.h"
#include "res/ResourceIds.h"
#include "store/RecordKey.h"
#include "store/UserFile.h"

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
    const std::u16string replacement = store::RecordKey(m_username, m_newPassword);
    bool changed = false;
    // Only the lines equal to the key are offered: they are the ones that may change.
    const auto rewrite = store::RewriteUserFile(key, [&](const std::u16string&) -> std::optional<std::u16string> {
        if (m_newPassword != m_confirmPassword)
            return std::nullopt;
        changed = true;
        return replacement;
    });

    switch (rewrite.GetOutcome()) {
    case store::RewriteOutcome::NotOpened:
        return;
    case store::RewriteOutcome::Done:
        EndModal(IDOK);
        if (changed)
            ShowMessage(u"Password change successful", u"Successful", MB_OK);
        else
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
