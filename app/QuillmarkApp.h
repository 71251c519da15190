#pragma once

#include "platform/gui/WinApp.h"

// The application: runs the main window and ends the program when it closes.
class CQuillmarkApp : public CWinApp {
public:
    bool InitInstance() override;

protected:
    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;
};

// The one application object, built during static initialisation.
extern CQuillmarkApp theApp;
