#include "platform/gui/Dialog.h"

#include "platform/gui/DataExchange.h"
#include "platform/gui/SystemNumbers.h"

const MessageMap CDialog::messageMap{&CWnd::messageMap, {
    {WM_COMMAND, IDOK, &CDialog::OnOK},
    {WM_COMMAND, IDCANCEL, &CDialog::OnCancel},
}};

CDialog::CDialog(int templateId, CWnd* parent) : m_templateId(templateId), m_parent(parent)
{
}

CDialog::~CDialog() = default;

void CDialog::SaveFields()
{
    DataExchange exchange(*this, DataExchange::Direction::SaveFields);
    DoDataExchange(exchange);
}

void CDialog::ShowFields()
{
    DataExchange exchange(*this, DataExchange::Direction::ShowFields);
    DoDataExchange(exchange);
}

int CDialog::InitDialog()
{
    ShowFields();
    return 1;
}

void CDialog::DoDataExchange(DataExchange&)
{
}

void CDialog::FocusControl(int controlId)
{
    // The control's id stands for its handle: lParam 1 says wParam names a control.
    SendMessage(WM_NEXTDLGCTL, static_cast<std::uintptr_t>(controlId), 1);
}

void CDialog::OnOK()
{
    SaveFields();
    EndModal(IDOK);
}

void CDialog::OnCancel()
{
    EndModal(IDCANCEL);
}

std::intptr_t CDialog::DefWindowProc(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return InitDialog();
    case WM_CLOSE:
        SendMessage(WM_COMMAND, IDCANCEL);
        return 0;
    default:
        return CWnd::DefWindowProc(message, wParam, lParam);
    }
}
