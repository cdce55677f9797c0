// Geometry of the main window: game folder rule, placement, drag bands and the button table.
#pragma once

#include <stddef.h>

#include "base/control_ids.h"
#include "base/window_frame.h"

// The folder part of the launcher's own path, backslash kept at the end; ".\" when the path
// has no backslash. Written into out (outSize bytes), cut and always terminated.
void GameDirFromModulePath(const char* modulePath, char* out, size_t outSize);

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

bool IsLauncherButton(int id);
