#pragma once

#include "platform/Dialog.h"

// The Create User dialog.
class CCreateUserDlg : public CDialog {
public:
    explicit CCreateUserDlg(CWnd* parent = nullptr);
};
