#pragma once

// Window messages, system commands and the standard command ids, with the
// numbers of the native platform so that tables read the same on every
// backend. A native backend includes this before its system headers, which
// then define the same names with the same values.

constexpr unsigned WM_PAINT = 0x000F;
constexpr unsigned WM_CLOSE = 0x0010;
constexpr unsigned WM_ICONERASEBKGND = 0x0027;
constexpr unsigned WM_NEXTDLGCTL = 0x0028;
constexpr unsigned WM_QUERYDRAGICON = 0x0037;
constexpr unsigned WM_GETICON = 0x007F;
constexpr unsigned WM_SETICON = 0x0080;
constexpr unsigned WM_INITDIALOG = 0x0110;
constexpr unsigned WM_COMMAND = 0x0111;
constexpr unsigned WM_SYSCOMMAND = 0x0112;
constexpr unsigned EM_SETPASSWORDCHAR = 0x00CC;

// WM_SYSCOMMAND ids; the platform ignores their low four bits.
constexpr unsigned SC_MOVE = 0xF010;
constexpr unsigned SC_MINIMIZE = 0xF020;
constexpr unsigned SC_MAXIMIZE = 0xF030;
constexpr unsigned SC_CLOSE = 0xF060;
constexpr unsigned SC_KEYMENU = 0xF100;
constexpr unsigned SC_RESTORE = 0xF120;

// Commands that every dialog and the application object know.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int ID_APP_EXIT = 57665;
constexpr int ID_HELP = 57670;

// WM_SETICON and WM_GETICON: which of the window's two icons.
constexpr int ICON_SMALL = 0;
constexpr int ICON_BIG = 1;
