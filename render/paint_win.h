// The main window's paint handler: the whole frame composed off-screen, then copied.
#pragma once

#include <windows.h>

// Composes the whole frame off-screen and copies it to the window (WM_PAINT).
void PaintMainWindow(HWND window);

// Draws everything of the frame from the background up into a window-sized context.
void ComposeFrame(HDC frame);

// Composes the frame off-screen and copies its piece at (sourceX, sourceY), width by height,
// to (targetX, targetY) of target.
void CopyComposedFrame(HDC target, int targetX, int targetY, int width, int height, int sourceX,
                       int sourceY);
