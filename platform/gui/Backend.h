#pragma once

// What a windowing backend defines: the four types below, once each, and the
// members and functions listed by service, which the common headers declare
// and nothing in platform/gui/ defines. A missing one fails the link.

// The system's window of a running CWnd (CWnd::Native()).
class NativeWindow;
// A Menu's system side (Menu::Native()).
struct NativeMenu;
// What a PaintContext draws with, valid for one WM_PAINT.
struct NativePainter;
// What an IconHandle points to (MessageMap.h).
struct Icon;

// Start-up, WinApp.h and WinThread.h:
//   RunApplication                     starts the system, then CWinApp::RunInstance
//   CWinThread::Run                    the message loop
//   CWinApp::Title, SetRegistryKey
//
// Window, Window.h:
//   CWnd::DefWindowProc                what the system does with a message
//   CWnd::SendDlgItemMessage, GetDlgItemText, SetDlgItemText
//   CWnd::GetClientRect, IsIconic, GetMenu, GetSystemMenu
//
// Modal run and message boxes, Dialog.h and Window.h:
//   CDialog::RunModal, EndModal        builds the template's window, runs its loop
//   CWnd::ShowMessage(text, caption, style)
//
// Menu, Menu.h:
//   Menu::Menu, ~Menu, EnableMenuItem, CheckMenuItem, GetMenuState, AppendMenu
//
// Paint and resources, Paint.h and Resources.h:
//   PaintContext::PaintContext, ~PaintContext, DrawIcon, FillClientWithBackground
//   LoadIcon
//   GetSystemMetrics                   except on Windows, whose own the program calls
//
// Common controls, CommonControls.h:
//   InitCommonControlsEx, RegisteredCommonControls
