#pragma once

#include "platform/gui/Dialog.h"

// The About box of the menu bar's "About"; it looks the same as CAboutDlg.
class CAboutBoxDlg : public CDialog {
public:
    explicit CAboutBoxDlg(CWnd* parent = nullptr);
};
