#pragma once

#include <QAction>
#include <QWidget>

class CWnd;

// A Menu's backend: a QMenuBar or QMenu whose actions carry their command ids.
struct NativeMenu {
    QWidget* widget;

    QAction* FindCommand(int id) const;
};

// The id that an action sends as WM_COMMAND or WM_SYSCOMMAND.
int CommandIdOf(const QAction* action);
void SetCommandId(QAction* action, int id);
