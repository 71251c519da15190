#pragma once

// The system headers, for backend sources only, included after the
// platform's own headers: those declare the same names (WM_PAINT, MB_OK...)
// with the same values, and the macros here then take over.
#include <windows.h>

// Names that windows.h turns into macros but that the platform uses for its
// own functions and members; the backend calls the wide versions by name.
#undef SendMessage
#undef DefWindowProc
#undef LoadIcon
#undef LoadString
#undef AppendMenu
#undef GetDlgItemText
#undef SetDlgItemText
#undef SendDlgItemMessage

#include <string>
#include <string_view>

// UTF-16 on both sides: wchar_t is 16 bits on Windows.
inline const wchar_t* WideOf(const std::u16string& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline std::u16string U16Of(const wchar_t* text, std::size_t size)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text), size);
}

// The module whose resources the program's windows use.
HINSTANCE ProgramModule();
