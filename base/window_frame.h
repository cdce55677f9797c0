// The main window's frame: its size, where its fixed parts stand, and the colours that more
// than one painter uses. res/make_pictures.py reads the size and the rule's end from here too.
#pragma once

#include "base/colour.h"

constexpr int kWindowWidth = 820;
constexpr int kWindowHeight = 520;

struct FrameArea {
    int left;
    int top;
    int right;
    int bottom;
};

// The three caption buttons (minimise, settings, close) in a row at the top right.
constexpr int kCaptionButtonsLeft = 716;
constexpr int kCaptionButtonsTop = 14;
constexpr int kCaptionButtonSize = 26;
constexpr int kCaptionButtonStep = 32;

// The five link buttons stacked in the side bar.
constexpr int kSideButtonsLeft = 738;
constexpr int kSideButtonsTop = 74;
constexpr int kSideButtonWidth = 78;
constexpr int kSideButtonHeight = 70;
// The side bar's dark backdrop starts just left of its buttons.
constexpr int kSideBarLeft = kSideButtonsLeft - 2;

constexpr FrameArea kPlayButton = {532, 412, 712, 474};
// The status line ends where the caption buttons begin; the progress track lies under it.
constexpr FrameArea kStatusLine = {30, 456, kCaptionButtonsLeft, 474};
constexpr FrameArea kProgressTrack = {30, 480, 706, 487};

// The window class brush, and the frame's ground when the background picture is missing.
constexpr PackedColor kWindowColor = PackRgb(10, 13, 22);
// The bronze border of the news tags and of a held side button.
constexpr PackedColor kBronzeBorder = PackRgb(120, 96, 44);
