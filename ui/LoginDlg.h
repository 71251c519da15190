#pragma once

#include "platform/Dialog.h"

// The Login dialog.
class CLoginDlg : public CDialog {
public:
    explicit CLoginDlg(CWnd* parent = nullptr);
};
