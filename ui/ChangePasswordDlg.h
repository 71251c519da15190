#pragma once

#include "platform/gui/Dialog.h"

#include <string>

// Replaces the password of every record line that equals the user name with
// the old password, provided that the new password and its confirmation agree.
class CChangePasswordDlg : public CDialog {
public:
    explicit CChangePasswordDlg(CWnd* parent = nullptr);

    std::u16string m_username;
    std::u16string m_oldPassword;
    std::u16string m_newPassword;
    std::u16string m_confirmPassword;

protected:
    int InitDialog() override;
    void DoDataExchange(DataExchange& exchange) override;

    void OnOkButton();

    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;
};
