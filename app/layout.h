// Geometry of the main window: game folder rule, placement, drag bands and the button table.
#pragma once

#include <stddef.h>

#include "base/control_ids.h"
#include "base/window_frame.h"

// The folder part of the launcher's own path, backslash kept at the end; ".\" when the path
// has no backslash. length is what GetModuleFileNameA returned for a buffer of bufferSize
// bytes. False, with out empty, when that call failed or filled its whole buffer: the path
// was cut, and its folder part could be a folder above the game folder.
bool GameDirFromModulePath(const char* modulePath, size_t length, size_t bufferSize, char* out,
                           size_t outSize);

struct WindowOrigin {
    int left;
    int top;
};
// Centres the window on the screen; a smaller screen gives a negative origin, never clamped.
WindowOrigin CentredWindowOrigin(int screenWidth, int screenHeight);

// True where a press in client coordinates should drag the window like a title bar.
bool IsDragPoint(int x, int y);

struct ButtonPlacement {
    int id;
    int left;
    int top;
    int width;
    int height;
};
constexpr int kButtonCount = 9;
// In creation order: caption buttons, side buttons, then the play button.
extern const ButtonPlacement kButtonPlacements[kButtonCount];
