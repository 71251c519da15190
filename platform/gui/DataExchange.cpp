#include "platform/gui/DataExchange.h"

#include "platform/gui/Window.h"

void DataExchange::Text(int controlId, std::u16string& member)
{
    if (m_direction == Direction::SaveFields)
        member = m_dialog.GetDlgItemText(controlId);
    else
        m_dialog.SetDlgItemText(controlId, member);
}
