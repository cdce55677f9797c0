// The main window's paint handler and the owner-drawn button faces.
#pragma once

#include <windows.h>

constexpr int kFrameWidth = 820;
constexpr int kFrameHeight = 520;

// Composes the whole 820 x 520 frame off-screen and copies it to the window (WM_PAINT).
void PaintMainWindow(HWND window);

// Draws everything of the frame from the background up into an 820 x 520 context.
void ComposeFrame(HDC frame);

// Draws the face of the button named by item->CtlID (WM_DRAWITEM); always returns TRUE.
BOOL DrawButtonItem(const DRAWITEMSTRUCT* item);
