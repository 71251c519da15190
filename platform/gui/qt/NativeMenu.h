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
// The id of an action that was just chosen. Qt has already flipped the check
// mark of a checkable one; menu items here change only when told, so the
// mark is put back first.
int ChosenCommandId(QAction* action);
void SetCommandId(QAction* action, int id);
