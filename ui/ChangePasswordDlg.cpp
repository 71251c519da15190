#include "ui/ChangePasswordDlg.h"

#include "res/ResourceIds.h"

CChangePasswordDlg::CChangePasswordDlg(CWnd* parent) : CDialog(IDD_CHANGEPASSWORD, parent)
{
}
