#pragma once

class QWidget;

// Where a window opens when nothing names its place: centred over its owner,
// or on the screen when it has none, and never partly off that screen. Call
// once its size is known (from showEvent).
void CentreWindow(QWidget& window);

// Keeps a window that was placed by position wholly on its screen.
void KeepOnScreen(QWidget& window);

// The width a window manager's title bar needs to show the window's caption whole.
int CaptionWidth(const QWidget& window);
