#pragma once

#include "platform/gui/DialogUnits.h"

#include <QDialog>

#include <map>
#include <memory>

class CWnd;
class Menu;
class QPainter;
struct DialogTemplate;
struct Icon;
struct NativePainter;

// The Qt window of a running dialog: built from its template, it turns the
// window system's events into the messages of the dialog's tables.
class NativeWindow final : public QDialog {
public:
    NativeWindow(CWnd& window, const DialogTemplate& dialogTemplate, QWidget* owner);
    ~NativeWindow() override;

    CWnd& Window() const { return m_window; }
    QWidget* ClientArea() const { return m_client; }
    QWidget* Control(int id) const;
    Menu* MenuBar() const { return m_menuBar.get(); }
    Menu* SystemMenu(bool revert);
    void ShowSystemMenu();
    void FocusFirstTabStop();
    void FocusNextTabStop(bool forward) { focusNextPrevChild(forward); }
    // A template that names a place puts the window there, over its owner's
    // client area; one that does not has it centred as it appears.
    void PlaceOver(const NativeWindow& owner, int x, int y);

    const Icon* SetIcon(int which, const Icon* icon);
    const Icon* GetIcon(int which) const;

    // Valid from the start to the end of WM_PAINT; paints nothing elsewhere.
    NativePainter* Painter() { return m_painter.get(); }
    void BeginPaint(QPainter* painter);
    void EndPaint();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    class Client;

    void BuildControls(const DialogTemplate& dialogTemplate);
    void BuildMenuBar(int menuId);
    bool HandleDialogKey(const QKeyEvent& event);
    int EnterCommand() const;

    CWnd& m_window;
    QFont m_font;
    DialogUnits m_units;
    QWidget* m_client;
    QWidget* m_titleBar = nullptr;
    std::unique_ptr<Menu> m_menuBar;
    std::unique_ptr<Menu> m_systemMenu;
    std::map<int, QWidget*> m_controls;
    int m_defaultButton;
    bool m_placedByTemplate = false;
    bool m_shownBefore = false;
    const Icon* m_icons[2] = {nullptr, nullptr};
    std::unique_ptr<NativePainter> m_painter;
};

// What a PaintContext draws with in this backend.
struct NativePainter {
    QPainter* painter = nullptr;
    QWidget* target = nullptr;
};
