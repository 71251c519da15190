#pragma once

#include <string>

class CWnd;

// Binds a dialog's controls to its string members, in one direction per pass.
class DataExchange {
public:
    enum class Direction { ShowFields, SaveFields };

    DataExchange(CWnd& dialog, Direction direction) : m_dialog(dialog), m_direction(direction) {}

    void Text(int controlId, std::u16string& member);

private:
    CWnd& m_dialog;
    Direction m_direction;
};
