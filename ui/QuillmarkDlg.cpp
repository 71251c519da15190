#include "ui/QuillmarkDlg.h"

#include "platform/gui/Menu.h"
#include "platform/gui/SystemNumbers.h"
#include "platform/gui/Paint.h"
#include "platform/gui/Resources.h"
#include "res/ResourceIds.h"
#include "ui/AboutBoxDlg.h"
#include "ui/AboutDlg.h"
#include "ui/ChangePasswordDlg.h"
#include "ui/LoginState.h"
#include "ui/CreateUserDlg.h"
#include "ui/LoginDlg.h"

const MessageMap CQuillmarkDlg::messageMap{&CDialog::messageMap, {
    {WM_SYSCOMMAND, 0, &CQuillmarkDlg::OnSysCommand},
    {WM_PAINT, 0, &CQuillmarkDlg::OnPaint},
    {WM_QUERYDRAGICON, 0, &CQuillmarkDlg::OnQueryDragIcon},
    {WM_COMMAND, ID_FILE_CREATEUSER, &CQuillmarkDlg::OnCreateUser},
    {WM_COMMAND, ID_FILE_LOGIN, &CQuillmarkDlg::OnLogin},
    {WM_COMMAND, ID_FILE_LOGOUT, &CQuillmarkDlg::OnLogout},
    {WM_COMMAND, ID_OPTION_CHANGEPASSWORD, &CQuillmarkDlg::OnChangePassword},
    {WM_COMMAND, IDOK, &CQuillmarkDlg::OnOK},
    {WM_COMMAND, ID_HELP_ABOUT, &CQuillmarkDlg::OnAbout},
    {WM_COMMAND, ID_OPTION_DISPLAYPASSWORD, &CQuillmarkDlg::OnDisplayPassword},
}};

CQuillmarkDlg::CQuillmarkDlg(CWnd* parent)
    : CDialog(IDD_QUILLMARK_DIALOG, parent), m_hIcon(LoadIcon(IDR_MAINFRAME))
{
}

int CQuillmarkDlg::InitDialog()
{
    CDialog::InitDialog();
    if (Menu* systemMenu = GetSystemMenu(false)) {
        const std::u16string aboutText = LoadString(IDS_ABOUTBOX);
        if (!aboutText.empty()) {
            systemMenu->AppendMenu(MF_SEPARATOR);
            systemMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, aboutText);
        }
    }
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<std::intptr_t>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<std::intptr_t>(m_hIcon));
    return 1;
}

void CQuillmarkDlg::OnSysCommand(unsigned id, std::intptr_t param)
{
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.RunModal();
    } else {
        CDialog::OnSysCommand(id, param);
    }
}

void CQuillmarkDlg::OnPaint()
{
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    PaintContext dc(*this);
    SendMessage(WM_ICONERASEBKGND, dc.Handle(), 0);
    const int cx = GetSystemMetrics(SM_CXICON);
    const int cy = GetSystemMetrics(SM_CYICON);
    const Rect client = GetClientRect();
    const int x = IconOrigin(client.right - client.left, cx);
    const int y = IconOrigin(client.bottom - client.top, cy);
    dc.DrawIcon(x, y, m_hIcon);
}

IconHandle CQuillmarkDlg::OnQueryDragIcon()
{
    return m_hIcon;
}

void CQuillmarkDlg::OnCreateUser()
{
    CCreateUserDlg dialog;
    dialog.RunModal();
}

void CQuillmarkDlg::OnLogin()
{
    CLoginDlg dialog;
    dialog.RunModal();
}

void CQuillmarkDlg::OnLogout()
{
    ShowLoginState(LoginState::LoggedOut);
}

void CQuillmarkDlg::OnChangePassword()
{
    CChangePasswordDlg dialog;
    dialog.RunModal();
}

// Enter does nothing here; only the menu and the ways of closing act.
void CQuillmarkDlg::OnOK()
{
}

void CQuillmarkDlg::OnAbout()
{
    CAboutBoxDlg about;
    about.RunModal();
}

void CQuillmarkDlg::OnDisplayPassword()
{
    Menu* menu = MainWindowMenu();
    if (!menu)
        return;
    const unsigned state = menu->GetMenuState(ID_OPTION_DISPLAYPASSWORD, MF_BYCOMMAND);
    if (state & MF_CHECKED)
        menu->CheckMenuItem(ID_OPTION_DISPLAYPASSWORD, MF_BYCOMMAND | MF_UNCHECKED);
    else
        menu->CheckMenuItem(ID_OPTION_DISPLAYPASSWORD, MF_BYCOMMAND | MF_CHECKED);
}
