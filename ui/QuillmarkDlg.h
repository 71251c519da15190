#pragma once

#include "platform/gui/Dialog.h"

// The main window: a banner, and the menu that carries the log-in state
// ("Login" or "Logout" enabled) and the Display Password option.
class CQuillmarkDlg : public CDialog {
public:
    explicit CQuillmarkDlg(CWnd* parent = nullptr);

    // Where a minimized window draws its icon: centred, rounding as the
    // platform's signed division does, toward zero.
    static int IconOrigin(int clientExtent, int iconExtent) { return (clientExtent - iconExtent + 1) / 2; }

protected:
    int InitDialog() override;

    void OnSysCommand(unsigned id, std::intptr_t param);
    void OnPaint();
    IconHandle OnQueryDragIcon();
    void OnCreateUser();
    void OnLogin();
    void OnLogout();
    void OnChangePassword();
    void OnOK();
    void OnAbout();
    void OnDisplayPassword();

    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;

private:
    IconHandle m_hIcon;
};
