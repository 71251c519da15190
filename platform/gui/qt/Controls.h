#pragma once

class DialogUnits;
class QWidget;
struct ControlTemplate;

// Builds the widget of one template control, placed in dialog units and
// behaving as its style bits say. Throws std::runtime_error for a control
// class or style that this backend does not provide.
QWidget* CreateControl(const ControlTemplate& control, const DialogUnits& units, QWidget* parent);

int ControlIdOf(const QWidget* widget);
bool IsTabStop(const QWidget* widget);
