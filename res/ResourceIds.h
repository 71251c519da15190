#pragma once

// The ids of Quillmark's resources, controls and commands (res/Quillmark.rc).

constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_QUILLMARK_DIALOG = 102;
constexpr int IDD_LOGIN = 130;
constexpr int IDD_CREATEUSER = 131;
constexpr int IDD_CHANGEPASSWORD = 132;

constexpr int IDR_MAINMENU = 129;
constexpr int IDS_ABOUTBOX = 101;
constexpr int IDR_MAINFRAME = 136;
constexpr int IDB_BANNER = 143;
constexpr int IDB_BANNER_SMALL = 144;

constexpr int IDC_USERNAME = 1000;
constexpr int IDC_PASSWORD = 1001;
constexpr int IDC_NEWPASSWORD = 1002;
constexpr int IDC_CONFIRMPASSWORD = 1003;

constexpr int ID_FILE_CREATEUSER = 32771;
constexpr int ID_FILE_LOGIN = 32772;
constexpr int ID_OPTION_CHANGEPASSWORD = 32774;
constexpr int ID_OPTION_DISPLAYPASSWORD = 32775;
constexpr int ID_HELP_ABOUT = 32776;
constexpr int ID_FILE_LOGOUT = 32778;

// The About entry of the main window's system menu.
constexpr unsigned IDM_ABOUTBOX = 0x0010;
