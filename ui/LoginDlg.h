#pragma once

#include "platform/gui/Dialog.h"

#include <string>

// Checks a user name and password against the user file; on success the main
// window's menu switches to logged in.
class CLoginDlg : public CDialog {
public:
    explicit CLoginDlg(CWnd* parent = nullptr);

    std::u16string m_username;
    std::u16string m_password;

protected:
    int InitDialog() override;
    void DoDataExchange(DataExchange& exchange) override;

    void OnLoginButton();

    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;
};
