// The main window's fixed size and the colour that shows where nothing else is drawn.
#pragma once

#include "base/colour.h"

constexpr int kWindowWidth = 820;
constexpr int kWindowHeight = 520;

// The window class brush, and the frame's ground when the background picture is missing.
constexpr PackedColor kWindowColor = PackRgb(10, 13, 22);
