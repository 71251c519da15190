#include "platform/gui/Dialog.h"
#include "platform/gui/SystemNumbers.h"
#include "platform/gui/Paint.h"
#include "platform/gui/Resources.h"
#include "platform/gui/ResourceScript.h"
#include "platform/gui/WinThread.h"
#include "platform/gui/qt/NativeWindow.h"
#include "platform/gui/qt/QtText.h"
#include "platform/gui/qt/Placement.h"
#include "platform/gui/qt/TitleBar.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTextLayout>
#include <QWindow>

#include <algorithm>

namespace {

QMessageBox::Icon IconOf(unsigned style)
{
    switch (style & 0xF0) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONWARNING:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// Qt breaks a box's text only between words, and cuts off a word wider than
// the box. Text with such a word is broken anywhere, as a native box breaks
// it, and loses its middle lines where it would outgrow half the screen.
QString FitText(const QString& text, const QFont& font, const QRect& screen)
{
    const QFontMetrics metrics(font);
    const int width = std::min(screen.width() / 2, 500);
    const QStringList words = text.split(QRegularExpression(QStringLiteral("\\s+")));
    if (std::none_of(words.begin(), words.end(),
                     [&](const QString& word) { return metrics.horizontalAdvance(word) > width; }))
        return text;
    // The layout breaks lines at this separator, not at a line feed.
    const QString paragraphs = QString(text).replace(u'\n', QChar::LineSeparator);
    QTextLayout layout(paragraphs, font);
    QTextOption wrapping;
    wrapping.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(wrapping);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines.append(paragraphs.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    const qsizetype kept = std::max(2, screen.height() / 2 / metrics.lineSpacing()) / 2;
    if (lines.size() > 2 * kept + 1)
        lines = lines.first(kept) + QStringList{QStringLiteral("\u2026")} + lines.last(kept);
    return lines.join(u'\n');
}

// A message box as the system's: centred over its owner, its caption shown
// whole, and its text within the screen.
class MessageBox final : public QMessageBox {
public:
    MessageBox(Icon icon, const QString& caption, const QString& text, QWidget* owner)
        : QMessageBox(icon, caption, text, QMessageBox::Ok, owner)
    {
        setTextFormat(Qt::PlainText);
        // QMessageBox resets its window flags with its modality; set after the
        // title bar, it would bring back a frame that offers a maximise.
        setWindowModality(Qt::ApplicationModal);
        if (TitleBar::Needed() && layout())
            layout()->setMenuBar(new TitleBar(*this));
        if (const QScreen* shown = screen())
            setText(FitText(text, font(), shown->availableGeometry()));
        RoomForCaption();
    }

protected:
    void showEvent(QShowEvent* event) override
    {
        QMessageBox::showEvent(event);
        CentreWindow(*this);
    }

private:
    // The box sizes itself to its contents each time it lays itself out; a
    // row as wide as the caption makes that size the final one. Widening it
    // afterwards raced the window manager, which could place it by a stale size.
    void RoomForCaption()
    {
        auto* buttons = findChild<QDialogButtonBox*>();
        if (!buttons || !layout())
            return;
        const QMargins margins = layout()->contentsMargins();
        buttons->setMinimumWidth(CaptionWidth(*this) - margins.left() - margins.right());
    }
};

}  // namespace

int CWnd::ShowMessage(std::u16string_view text, std::u16string_view caption, unsigned style)
{
    MessageBox box(IconOf(style), ToQString(caption), ToQString(text), m_native);
    box.exec();
    return IDOK;
}

Menu* CWnd::GetMenu() const
{
    return m_native ? m_native->MenuBar() : nullptr;
}

Menu* CWnd::GetSystemMenu(bool revert)
{
    return m_native ? m_native->SystemMenu(revert) : nullptr;
}

bool CWnd::IsIconic() const
{
    return m_native && m_native->isMinimized();
}

Rect CWnd::GetClientRect() const
{
    if (!m_native)
        return {};
    const QRect client = m_native->ClientArea()->rect();
    return {client.left(), client.top(), client.right() + 1, client.bottom() + 1};
}

std::u16string CWnd::GetDlgItemText(int controlId) const
{
    const QWidget* control = m_native ? m_native->Control(controlId) : nullptr;
    if (const auto* edit = qobject_cast<const QLineEdit*>(control))
        return ToU16String(edit->text());
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return ToU16String(label->text());
    if (const auto* button = qobject_cast<const QPushButton*>(control))
        return ToU16String(button->text());
    return {};
}

void CWnd::SetDlgItemText(int controlId, std::u16string_view text)
{
    QWidget* control = m_native ? m_native->Control(controlId) : nullptr;
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(ToQString(text));
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(ToQString(text));
    else if (auto* button = qobject_cast<QPushButton*>(control))
        button->setText(ToQString(text));
}

std::intptr_t CWnd::SendDlgItemMessage(int controlId, unsigned message, std::uintptr_t wParam, std::intptr_t)
{
    auto* edit = qobject_cast<QLineEdit*>(m_native ? m_native->Control(controlId) : nullptr);
    if (edit && message == EM_SETPASSWORDCHAR) {
        // Qt masks with its style's character; zero shows the text as typed.
        edit->setEchoMode(wParam == 0 ? QLineEdit::Normal : QLineEdit::Password);
        return 1;
    }
    return 0;
}

std::intptr_t CWnd::DefWindowProc(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    if (!m_native)
        return 0;
    switch (message) {
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE:
            SendMessage(WM_CLOSE);
            break;
        case SC_KEYMENU:
            m_native->ShowSystemMenu();
            break;
        case SC_MOVE:
            if (QWindow* window = m_native->windowHandle())
                window->startSystemMove();
            break;
        case SC_MINIMIZE:
            m_native->showMinimized();
            break;
        case SC_MAXIMIZE:
            m_native->showMaximized();
            break;
        case SC_RESTORE:
            m_native->showNormal();
            break;
        }
        return 0;
    case WM_SETICON:
        return reinterpret_cast<std::intptr_t>(
            m_native->SetIcon(static_cast<int>(wParam), reinterpret_cast<const Icon*>(lParam)));
    case WM_GETICON:
        return reinterpret_cast<std::intptr_t>(m_native->GetIcon(static_cast<int>(wParam)));
    case WM_NEXTDLGCTL:
        if (lParam) {
            if (QWidget* control = m_native->Control(static_cast<int>(wParam)))
                control->setFocus(Qt::OtherFocusReason);
        } else {
            m_native->FocusNextTabStop(wParam == 0);
        }
        return 0;
    case WM_ICONERASEBKGND:
        PaintContext::FromHandle(wParam)->FillClientWithBackground();
        return 1;
    default:
        return 0;
    }
}

int CDialog::RunModal()
{
    const DialogTemplate* dialogTemplate = FindDialogTemplate(m_templateId);
    if (!dialogTemplate)
        return -1;
    const CWinThread* thread = CWinThread::Current();
    CWnd* mainWindow = thread ? thread->GetMainWindow() : nullptr;
    m_owner = m_parent ? m_parent : mainWindow != this ? mainWindow : nullptr;
    NativeWindow* ownerWindow = m_owner ? m_owner->Native() : nullptr;

    NativeWindow window(*this, *dialogTemplate, ownerWindow);
    if (ownerWindow && (dialogTemplate->x != 0 || dialogTemplate->y != 0))
        window.PlaceOver(*ownerWindow, dialogTemplate->x, dialogTemplate->y);
    // The owner takes no input while its dialog runs.
    window.setWindowModality(Qt::ApplicationModal);
    m_native = &window;
    m_ended = false;
    m_result = -1;
    if (SendMessage(WM_INITDIALOG) != 0)
        window.FocusFirstTabStop();
    if (!m_ended)
        window.exec();
    // A closed dialog hands the keyboard back to its owner: some window
    // managers hand it to no window at all.
    if (ownerWindow && ownerWindow->isVisible() && QGuiApplication::applicationState() == Qt::ApplicationActive)
        ownerWindow->activateWindow();
    m_native = nullptr;
    m_owner = nullptr;
    return m_result;
}

void CDialog::EndModal(int result)
{
    m_result = result;
    m_ended = true;
    if (m_native)
        m_native->done(result);
}
