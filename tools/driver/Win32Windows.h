#pragma once
// The program's windows as the driver finds them, on the program's thread: a
// hook follows the top-level windows that open and close, and the one that
// takes input is the newest shown and enabled.
#include "tools/driver/Driver.h"

#include "platform/gui/win32/NativeWindow.h"

#include <string>

namespace driver {

// Follows the windows of the calling thread until StopFollowingWindows.
HHOOK FollowWindows();
void StopFollowingWindows(HHOOK hook);

// A dialog that is starting takes the first ticks of its loop before it shows.
bool DialogAboutToAppear();

bool HasClass(HWND hwnd, const wchar_t* name);
HWND TopWindow();
HWND OpenMenu();
NativeWindow* TopDialog();
HWND MessageBoxWindow();
NativeWindow* MainNativeWindow();
HWND ControlOfTop(int controlId);

std::u16string TextOf(HWND hwnd);
BoxIcon IconOfBox(HWND box);
std::u16string TextOfBox(HWND box);

// Ends the window on top the way that cannot be refused.
void CloseTopWindow();

} // namespace driver
