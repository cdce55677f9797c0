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

bool IsLauncherButton(int id) {
    return id >= IDC_PLAY && id <= IDC_INSTAGRAM;
}
