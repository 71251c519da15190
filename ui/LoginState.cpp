#include "ui/LoginState.h"

#include "platform/gui/Menu.h"
#include "res/ResourceIds.h"

void ShowLoginState(LoginState state)
{
    const unsigned offered = state == LoginState::LoggedIn ? ID_FILE_LOGOUT : ID_FILE_LOGIN;
    const unsigned withdrawn = state == LoginState::LoggedIn ? ID_FILE_LOGIN : ID_FILE_LOGOUT;
    if (Menu* menu = MainWindowMenu())
        menu->EnableMenuItem(offered, MF_BYCOMMAND | MF_ENABLED);
    if (Menu* menu = MainWindowMenu())
        menu->EnableMenuItem(withdrawn, MF_BYCOMMAND | MF_GRAYED);
}
