#pragma once

#include "platform/gui/Window.h"

class DataExchange;

// A dialog built from a template of the program's resources and run modally.
class CDialog : public CWnd {
public:
    explicit CDialog(int templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    // Blocks until the dialog ends. A dialog with no parent is owned by the
    // application's main window, which takes no input meanwhile. -1: no template.
    int RunModal();
    // Ends the run once the current handler returns; the window hides now.
    void EndModal(int result);
    // Copies the bound controls into their members; no exchange can refuse.
    void SaveFields();

protected:
    // Runs when the controls exist; returns nonzero to let the platform place the focus.
    virtual int InitDialog();
    virtual void DoDataExchange(DataExchange& exchange);
    void FocusControl(int controlId);

    void OnOK();
    void OnCancel();

    std::intptr_t DefWindowProc(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;

private:
    void ShowFields();

    int m_templateId;
    CWnd* m_parent;
    int m_result = -1;
    bool m_ended = false;
};
