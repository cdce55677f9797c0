// Geometry of the main window, kept free of Win32 so it can be checked natively.
#include "app/layout.h"

#include <string.h>

namespace {

// The title band drags up to 4 pixels short of the first caption button, the upper side
// band up to 6 pixels short of the side buttons; the rest of the window only through
// WM_LBUTTONDOWN.
constexpr int kTitleBandBottom = 57;
constexpr int kTitleBandRight = kCaptionButtonsLeft - 4;
constexpr int kSideBandBottom = 145;
constexpr int kSideBandRight = kSideButtonsLeft - 6;

constexpr ButtonPlacement CaptionButton(int id, int slot) {
    return {id, kCaptionButtonsLeft + slot * kCaptionButtonStep, kCaptionButtonsTop,
            kCaptionButtonSize, kCaptionButtonSize};
}

constexpr ButtonPlacement SideButton(int id, int slot) {
    return {id, kSideButtonsLeft, kSideButtonsTop + slot * kSideButtonHeight, kSideButtonWidth,
            kSideButtonHeight};
}

}  // namespace

const ButtonPlacement kButtonPlacements[kButtonCount] = {
    CaptionButton(IDC_MINIMIZE, 0),
    CaptionButton(IDC_SETUP, 1),
    CaptionButton(IDC_CLOSE, 2),
    SideButton(IDC_WEBSITE, 0),
    SideButton(IDC_REGISTER, 1),
    SideButton(IDC_DISCORD, 2),
    SideButton(IDC_FACEBOOK, 3),
    SideButton(IDC_INSTAGRAM, 4),
    {IDC_PLAY, kPlayButton.left, kPlayButton.top, kPlayButton.right - kPlayButton.left,
     kPlayButton.bottom - kPlayButton.top},
};

bool GameDirFromModulePath(const char* modulePath, size_t length, size_t bufferSize, char* out,
                           size_t outSize) {
    if (outSize == 0)
        return false;
    out[0] = '\0';
    if (length == 0 || length >= bufferSize)
        return false;
    const char* lastSlash = strrchr(modulePath, '\\');
    const char* folder = modulePath;
    size_t folderLength = 2;
    if (lastSlash != nullptr) {
        folderLength = static_cast<size_t>(lastSlash - modulePath) + 1;
    } else {
        folder = ".\\";
    }
    if (folderLength > outSize - 1)
        return false;
    memcpy(out, folder, folderLength);
    out[folderLength] = '\0';
    return true;
}

WindowOrigin CentredWindowOrigin(int screenWidth, int screenHeight) {
    return {(screenWidth - kWindowWidth) / 2, (screenHeight - kWindowHeight) / 2};
}

bool IsDragPoint(int x, int y) {
    if (y <= kTitleBandBottom)
        return x < kTitleBandRight;
    if (y <= kSideBandBottom)
        return x < kSideBandRight;
    return false;
}
