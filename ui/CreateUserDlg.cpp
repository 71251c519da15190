#include "ui/CreateUserDlg.h"

#include "res/ResourceIds.h"

CCreateUserDlg::CCreateUserDlg(CWnd* parent) : CDialog(IDD_CREATEUSER, parent)
{
}
