#pragma once

#include "platform/gui/Dialog.h"

#include <string>

// Adds an account to the user file: a user name, a password and the password again.
class CCreateUserDlg : public CDialog {
public:
    explicit CCreateUserDlg(CWnd* parent = nullptr);

    std::u16string m_username;
    std::u16string m_password;
    std::u16string m_confirmPassword;

protected:
    int InitDialog() override;
    void DoDataExchange(DataExchange& exchange) override;

    void OnCreateButton();

private:
    void ShowNotCreated(const std::u16string& why);

    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;
};
