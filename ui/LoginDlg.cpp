#include "ui/LoginDlg.h"

#include "res/ResourceIds.h"

CLoginDlg::CLoginDlg(CWnd* parent) : CDialog(IDD_LOGIN, parent)
{
}
