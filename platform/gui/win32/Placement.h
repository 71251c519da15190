#pragma once

#include "platform/gui/win32/Win32.h"

// Where a window opens when nothing names its place: centred over its owner,
// or over the work area of its monitor when it has none, and never partly
// off that monitor. Call once its size is known.
void CentreWindow(HWND window);

// Runs the system's message box, placed as CentreWindow places windows (the
// system itself would centre it on the screen) and as wide as its caption.
int CentredMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style);
