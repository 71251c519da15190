#pragma once

#include "platform/Dialog.h"

// The Change Password dialog.
class CChangePasswordDlg : public CDialog {
public:
    explicit CChangePasswordDlg(CWnd* parent = nullptr);
};
