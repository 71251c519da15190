#include "ui/AboutBoxDlg.h"

#include "res/ResourceIds.h"

CAboutBoxDlg::CAboutBoxDlg(CWnd* parent) : CDialog(IDD_ABOUTBOX, parent)
{
}
