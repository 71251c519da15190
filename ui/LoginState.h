#pragma once
// Whether someone is logged in: the main window's menu is the only place that
// shows it, offering Login or Log out.
enum class LoginState { LoggedOut, LoggedIn };

void ShowLoginState(LoginState state);
