#pragma once

#include <QStyle>
#include <QWidget>

#include <functional>

// The title bar a window draws for itself on Wayland, where the compositor
// may draw none and Qt's stand-in offers minimise and maximise on every
// window: the window's icon and caption, then only the buttons its flags ask
// for, which it takes over from the window. Dragging it moves the window.
class TitleBar final : public QWidget {
public:
    explicit TitleBar(QWidget& window);

    // Whether windows draw their own title bar here: on Wayland.
    static bool Needed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AddButton(QStyle::StandardPixmap picture, const QString& name, const std::function<void()>& action);

    QWidget& m_window;
};
