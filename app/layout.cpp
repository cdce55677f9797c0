// Geometry of the main window, kept free of Win32 so it can be checked natively.
#include "app/layout.h"

#include <string.h>

namespace {

// The title band drags up to 4 pixels short of the first caption button, the upper side
// band up to 6 pixels short of the side buttons; the rest of the window only through
// WM_LBUTTONDOWN.
constexpr int kTitleBandBottom = 57;
constexpr int kTitleBandRight = 712;
constexpr int kSideBandBottom = 145;
constexpr int kSideBandRight = 732;

}  // namespace

const ButtonPlacement kButtonPlacements[kButtonCount] = {
    {IDC_MINIMIZE, 716, 14, 26, 26},  {IDC_SETUP, 748, 14, 26, 26},
    {IDC_CLOSE, 780, 14, 26, 26},     {IDC_WEBSITE, 738, 74, 78, 70},
    {IDC_REGISTER, 738, 144, 78, 70}, {IDC_DISCORD, 738, 214, 78, 70},
    {IDC_FACEBOOK, 738, 284, 78, 70}, {IDC_INSTAGRAM, 738, 354, 78, 70},
    {IDC_PLAY, 532, 412, 180, 62},
};

void GameDirFromModulePath(const char* modulePath, char* out, size_t outSize) {
    if (outSize == 0)
        return;
    const char* lastSlash = strrchr(modulePath, '\\');
    const char* folder = modulePath;
    size_t length = 0;
    if (lastSlash != nullptr) {
        length = static_cast<size_t>(lastSlash - modulePath) + 1;
    } else {
        folder = ".\\";
        length = 2;
    }
    if (length > outSize - 1)
        length = outSize - 1;
    memcpy(out, folder, length);
    out[length] = '\0';
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

bool IsLauncherButton(int id) {
    return id >= IDC_PLAY && id <= IDC_INSTAGRAM;
}
