#pragma once
// Window messages, commands, styles and flags, with the numbers of the native
// platform, so that tables and templates read the same on every backend. Each
// name stands back where the system's headers already define it (with the
// same value), so the order of includes never matters.
#include <cstdint>

#ifndef WM_PAINT
inline constexpr unsigned WM_PAINT = 0x000F;
#endif
#ifndef WM_CLOSE
inline constexpr unsigned WM_CLOSE = 0x0010;
#endif
#ifndef WM_ICONERASEBKGND
inline constexpr unsigned WM_ICONERASEBKGND = 0x0027;
#endif
#ifndef WM_NEXTDLGCTL
inline constexpr unsigned WM_NEXTDLGCTL = 0x0028;
#endif
#ifndef WM_QUERYDRAGICON
inline constexpr unsigned WM_QUERYDRAGICON = 0x0037;
#endif
#ifndef WM_GETICON
inline constexpr unsigned WM_GETICON = 0x007F;
#endif
#ifndef WM_SETICON
inline constexpr unsigned WM_SETICON = 0x0080;
#endif
#ifndef WM_INITDIALOG
inline constexpr unsigned WM_INITDIALOG = 0x0110;
#endif
#ifndef WM_COMMAND
inline constexpr unsigned WM_COMMAND = 0x0111;
#endif
#ifndef WM_SYSCOMMAND
inline constexpr unsigned WM_SYSCOMMAND = 0x0112;
#endif
#ifndef EM_SETPASSWORDCHAR
inline constexpr unsigned EM_SETPASSWORDCHAR = 0x00CC;
#endif
// WM_SYSCOMMAND ids; the platform ignores their low four bits.
#ifndef SC_MOVE
inline constexpr unsigned SC_MOVE = 0xF010;
#endif
#ifndef SC_MINIMIZE
inline constexpr unsigned SC_MINIMIZE = 0xF020;
#endif
#ifndef SC_MAXIMIZE
inline constexpr unsigned SC_MAXIMIZE = 0xF030;
#endif
#ifndef SC_CLOSE
inline constexpr unsigned SC_CLOSE = 0xF060;
#endif
#ifndef SC_KEYMENU
inline constexpr unsigned SC_KEYMENU = 0xF100;
#endif
#ifndef SC_RESTORE
inline constexpr unsigned SC_RESTORE = 0xF120;
#endif
// Commands that every dialog and the application object know.
#ifndef IDOK
inline constexpr int IDOK = 1;
#endif
#ifndef IDCANCEL
inline constexpr int IDCANCEL = 2;
#endif
#ifndef ID_APP_EXIT
inline constexpr int ID_APP_EXIT = 57665;
#endif
#ifndef ID_HELP
inline constexpr int ID_HELP = 57670;
#endif
// WM_SETICON and WM_GETICON: which of the window's two icons.
#ifndef ICON_SMALL
inline constexpr int ICON_SMALL = 0;
#endif
#ifndef ICON_BIG
inline constexpr int ICON_BIG = 1;
#endif

// Style bits of dialog templates, with the native platform's values.
#ifndef WS_POPUP
inline constexpr std::uint32_t WS_POPUP = 0x80000000;
#endif
#ifndef WS_CHILD
inline constexpr std::uint32_t WS_CHILD = 0x40000000;
#endif
#ifndef WS_MINIMIZE
inline constexpr std::uint32_t WS_MINIMIZE = 0x20000000;
#endif
#ifndef WS_VISIBLE
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000;
#endif
#ifndef WS_DISABLED
inline constexpr std::uint32_t WS_DISABLED = 0x08000000;
#endif
#ifndef WS_CAPTION
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000;
#endif
#ifndef WS_BORDER
inline constexpr std::uint32_t WS_BORDER = 0x00800000;
#endif
#ifndef WS_SYSMENU
inline constexpr std::uint32_t WS_SYSMENU = 0x00080000;
#endif
#ifndef WS_THICKFRAME
inline constexpr std::uint32_t WS_THICKFRAME = 0x00040000;
#endif
#ifndef WS_GROUP
inline constexpr std::uint32_t WS_GROUP = 0x00020000;
#endif
#ifndef WS_TABSTOP
inline constexpr std::uint32_t WS_TABSTOP = 0x00010000;
#endif
#ifndef WS_MINIMIZEBOX
inline constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000;  // on top-level windows
#endif
#ifndef WS_MAXIMIZEBOX
inline constexpr std::uint32_t WS_MAXIMIZEBOX = 0x00010000;  // on top-level windows
#endif
#ifndef WS_EX_APPWINDOW
inline constexpr std::uint32_t WS_EX_APPWINDOW = 0x00040000;
#endif
#ifndef DS_3DLOOK
inline constexpr std::uint32_t DS_3DLOOK = 0x0004;
#endif
#ifndef DS_FIXEDSYS
inline constexpr std::uint32_t DS_FIXEDSYS = 0x0008;
#endif
#ifndef DS_SETFONT
inline constexpr std::uint32_t DS_SETFONT = 0x0040;
#endif
#ifndef DS_MODALFRAME
inline constexpr std::uint32_t DS_MODALFRAME = 0x0080;
#endif
#ifndef BS_TYPEMASK
inline constexpr std::uint32_t BS_TYPEMASK = 0x000F;
#endif
#ifndef BS_PUSHBUTTON
inline constexpr std::uint32_t BS_PUSHBUTTON = 0x0000;
#endif
#ifndef BS_DEFPUSHBUTTON
inline constexpr std::uint32_t BS_DEFPUSHBUTTON = 0x0001;
#endif
#ifndef ES_CENTER
inline constexpr std::uint32_t ES_CENTER = 0x0001;
#endif
#ifndef ES_RIGHT
inline constexpr std::uint32_t ES_RIGHT = 0x0002;
#endif
#ifndef ES_MULTILINE
inline constexpr std::uint32_t ES_MULTILINE = 0x0004;
#endif
#ifndef ES_PASSWORD
inline constexpr std::uint32_t ES_PASSWORD = 0x0020;
#endif
#ifndef ES_AUTOHSCROLL
inline constexpr std::uint32_t ES_AUTOHSCROLL = 0x0080;
#endif
#ifndef ES_READONLY
inline constexpr std::uint32_t ES_READONLY = 0x0800;
#endif

#ifndef SS_TYPEMASK
inline constexpr std::uint32_t SS_TYPEMASK = 0x001F;
#endif
#ifndef SS_LEFT
inline constexpr std::uint32_t SS_LEFT = 0x0000;
#endif
#ifndef SS_CENTER
inline constexpr std::uint32_t SS_CENTER = 0x0001;
#endif
#ifndef SS_RIGHT
inline constexpr std::uint32_t SS_RIGHT = 0x0002;
#endif
#ifndef SS_WHITERECT
inline constexpr std::uint32_t SS_WHITERECT = 0x0006;
#endif
#ifndef SS_LEFTNOWORDWRAP
inline constexpr std::uint32_t SS_LEFTNOWORDWRAP = 0x000C;
#endif
#ifndef SS_BITMAP
inline constexpr std::uint32_t SS_BITMAP = 0x000E;
#endif
#ifndef SS_NOPREFIX
inline constexpr std::uint32_t SS_NOPREFIX = 0x0080;
#endif

#ifndef MF_BYCOMMAND
inline constexpr unsigned MF_BYCOMMAND = 0x0000;
#endif
#ifndef MF_ENABLED
inline constexpr unsigned MF_ENABLED = 0x0000;
#endif
#ifndef MF_GRAYED
inline constexpr unsigned MF_GRAYED = 0x0001;
#endif
#ifndef MF_DISABLED
inline constexpr unsigned MF_DISABLED = 0x0002;
#endif
#ifndef MF_UNCHECKED
inline constexpr unsigned MF_UNCHECKED = 0x0000;
#endif
#ifndef MF_CHECKED
inline constexpr unsigned MF_CHECKED = 0x0008;
#endif
#ifndef MF_POPUP
inline constexpr unsigned MF_POPUP = 0x0010;
#endif
#ifndef MF_STRING
inline constexpr unsigned MF_STRING = 0x0000;
#endif
#ifndef MF_SEPARATOR
inline constexpr unsigned MF_SEPARATOR = 0x0800;
#endif

#ifndef SM_CXSCREEN
inline constexpr int SM_CXSCREEN = 0;
#endif
#ifndef SM_CYSCREEN
inline constexpr int SM_CYSCREEN = 1;
#endif
#ifndef SM_CXICON
inline constexpr int SM_CXICON = 11;
#endif
#ifndef SM_CYICON
inline constexpr int SM_CYICON = 12;
#endif

#ifndef MB_OK
inline constexpr unsigned MB_OK = 0x00;
#endif
#ifndef MB_ICONERROR
inline constexpr unsigned MB_ICONERROR = 0x10;
#endif
#ifndef MB_ICONQUESTION
inline constexpr unsigned MB_ICONQUESTION = 0x20;
#endif
#ifndef MB_ICONWARNING
inline constexpr unsigned MB_ICONWARNING = 0x30;
#endif
#ifndef MB_ICONINFORMATION
inline constexpr unsigned MB_ICONINFORMATION = 0x40;
#endif

#ifndef ICC_WIN95_CLASSES
inline constexpr std::uint32_t ICC_WIN95_CLASSES = 0xFF;
#endif

// Ours: what a single-line edit takes, the native control's own default limit.
constexpr int MaximumEditLength = 32767;
