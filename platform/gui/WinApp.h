#pragma once

#include "platform/gui/WinThread.h"

#include <string>
#include <string_view>

// The application object: one static instance, found by RunApplication.
// Commands that no window handles end up in its table.
class CWinApp : public CWinThread {
public:
    static CWinApp* Instance();
    // What RunApplication does once the platform is up: InitInstance, then
    // the loop if InitInstance asked for one. Returns the exit code.
    static int RunInstance();

    // The executable's file name without its extension: the default caption.
    std::u16string Title() const override;
    // Names the settings of the program; nothing is read or written under it.
    void SetRegistryKey(std::u16string_view company);
    std::u16string RegistryKey() const { return m_registryKey; }

protected:
    void OnAppExit();
    void OnHelp();

    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;

private:
    std::u16string m_registryKey;
};

// The program's entry: starts the platform, then InitInstance, then the loop
// if InitInstance asked for one. Returns the process's exit code.
int RunApplication(int argc, char** argv);
