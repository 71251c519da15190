#pragma once

#include "platform/gui/Dialog.h"

// The About box of the system menu's "About Quillmark..." entry.
class CAboutDlg : public CDialog {
public:
    CAboutDlg();
};
