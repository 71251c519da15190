#include "platform/gui/Dialog.h"
#include "platform/gui/SystemNumbers.h"
#include "platform/gui/Paint.h"
#include "platform/gui/Resources.h"
#include "platform/gui/ResourceScript.h"
#include "platform/gui/Unicode.h"
#include "platform/gui/WinThread.h"

#include <stdexcept>
#include <vector>

#include "platform/gui/win32/NativeWindow.h"
#include "platform/gui/win32/Placement.h"

namespace {

bool SameClass(const std::u16string& name, std::u16string_view wanted)
{
    if (name.size() != wanted.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
        if (lower(name[i]) != lower(wanted[i]))
            return false;
    }
    return true;
}

// The program's dialogs use the three basic control classes only; any other
// is refused here, as on every backend, rather than failing half-built.
void CheckControls(const DialogTemplate& dialogTemplate)
{
    for (const ControlTemplate& control : dialogTemplate.controls) {
        if (SameClass(control.className, u"Button") || SameClass(control.className, u"Edit")
            || SameClass(control.className, u"Static"))
            continue;
        throw std::runtime_error("The window cannot be shown: its control " + std::to_string(control.id)
                                 + " is of the class " + Utf16ToUtf8(control.className)
                                 + ", which this platform does not provide.");
    }
}

HWND HandleOf(const CWnd* window)
{
    return window && window->Native() ? window->Native()->Handle() : nullptr;
}

}  // namespace

int CWnd::ShowMessage(std::u16string_view text, std::u16string_view caption, unsigned style)
{
    const std::u16string shownText(text);
    const std::u16string shownCaption(caption);
    return CentredMessageBox(HandleOf(this), WideOf(shownText), WideOf(shownCaption), MB_OK | (style & MB_ICONMASK));
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
    const HWND hwnd = HandleOf(this);
    return hwnd && ::IsIconic(hwnd);
}

Rect CWnd::GetClientRect() const
{
    RECT client{};
    if (const HWND hwnd = HandleOf(this))
        ::GetClientRect(hwnd, &client);
    return {client.left, client.top, client.right, client.bottom};
}

std::u16string CWnd::GetDlgItemText(int controlId) const
{
    const HWND control = GetDlgItem(HandleOf(this), controlId);
    if (!control)
        return {};
    std::vector<wchar_t> text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1);
    const int length = GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
    return U16Of(text.data(), static_cast<std::size_t>(length));
}

void CWnd::SetDlgItemText(int controlId, std::u16string_view text)
{
    const std::u16string shown(text);
    SetDlgItemTextW(HandleOf(this), controlId, WideOf(shown));
}

std::intptr_t CWnd::SendDlgItemMessage(int controlId, unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    const HWND control = GetDlgItem(HandleOf(this), controlId);
    if (!control)
        return 0;
    const LRESULT result = SendMessageW(control, message, wParam, lParam);
    // An edit changes its mask without repainting itself.
    if (message == EM_SETPASSWORDCHAR)
        InvalidateRect(control, nullptr, TRUE);
    return result;
}

std::intptr_t CWnd::DefWindowProc(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    if (!m_native)
        return 0;
    switch (message) {
    case WM_SETICON:
        return reinterpret_cast<std::intptr_t>(
            m_native->SetIcon(static_cast<int>(wParam), reinterpret_cast<const Icon*>(lParam)));
    case WM_GETICON:
        return reinterpret_cast<std::intptr_t>(m_native->GetIcon(static_cast<int>(wParam)));
    case WM_NEXTDLGCTL:
        // FocusControl names the control by its id.
        if (lParam) {
            if (const HWND control = GetDlgItem(m_native->Handle(), static_cast<int>(wParam)))
                return m_native->Default(message, reinterpret_cast<WPARAM>(control), TRUE);
        }
        return m_native->Default(message, wParam, lParam);
    case WM_ICONERASEBKGND:
        // Sent by a handler, the first argument names its paint context.
        if (PaintContext* context = m_native->ActivePaint(); context && context->Handle() == wParam)
            wParam = reinterpret_cast<WPARAM>(m_native->ActivePaintDc());
        return m_native->Default(message, wParam, lParam);
    case WM_PAINT:
        if (const HDC target = m_native->PaintTarget()) {
            m_native->Default(WM_ERASEBKGND, reinterpret_cast<WPARAM>(target), 0);
            return 0;
        }
        return m_native->Default(message, wParam, lParam);
    case WM_HELP:
        // F1 asks the window's commands, and then the application, for help.
        SendMessage(WM_COMMAND, ID_HELP);
        return TRUE;
    default:
        return m_native->Default(message, wParam, lParam);
    }
}

int CDialog::RunModal()
{
    const DialogTemplate* dialogTemplate = FindDialogTemplate(m_templateId);
    if (!dialogTemplate)
        return -1;
    CheckControls(*dialogTemplate);
    const CWinThread* thread = CWinThread::Current();
    CWnd* mainWindow = thread ? thread->GetMainWindow() : nullptr;
    m_owner = m_parent ? m_parent : mainWindow != this ? mainWindow : nullptr;

    NativeWindow window(*this);
    // A template at 0, 0 names no place: the window opens centred.
    window.SetCentred(dialogTemplate->x == 0 && dialogTemplate->y == 0);
    m_native = &window;
    m_ended = false;
    m_result = -1;
    // The dialog manager disables the owner while the dialog runs.
    const INT_PTR code = DialogBoxParamW(ProgramModule(), MAKEINTRESOURCEW(m_templateId), HandleOf(m_owner),
                                         &NativeWindow::DialogProc, reinterpret_cast<LPARAM>(&window));
    m_native = nullptr;
    m_owner = nullptr;
    return m_ended ? m_result : static_cast<int>(code);
}

void CDialog::EndModal(int result)
{
    m_result = result;
    m_ended = true;
    if (m_native && m_native->Handle())
        EndDialog(m_native->Handle(), result);
}
