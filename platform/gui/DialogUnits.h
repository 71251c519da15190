#pragma once

// Converts dialog units to pixels: a horizontal unit is a quarter of the dialog
// font's average character width, a vertical unit an eighth of its height, so
// a layout keeps its proportions with any font and resolution.
class DialogUnits {
public:
    // alphabetWidth: the width of "A" to "Z" and "a" to "z" together, in pixels.
    DialogUnits(int alphabetWidth, int fontHeight)
        : m_baseX((alphabetWidth / 26 + 1) / 2), m_baseY(fontHeight) {}

    int ToPixelsX(int units) const { return MulDiv(units, m_baseX, 4); }
    int ToPixelsY(int units) const { return MulDiv(units, m_baseY, 8); }
    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }

private:
    // a * b / c, rounded half away from zero.
    static int MulDiv(int a, int b, int c)
    {
        const long long product = static_cast<long long>(a) * b;
        const long long half = c / 2;
        return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
    }

    int m_baseX;
    int m_baseY;
};
