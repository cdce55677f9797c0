// Window geometry: the game folder rule, centring, the drag bands and the button table.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "app/layout.h"

namespace {

std::string GameDirOf(const std::string& modulePath, size_t size = 260) {
    char out[260];
    memset(out, 'x', sizeof(out));
    GameDirFromModulePath(modulePath.c_str(), out, size);
    return out;
}

TEST(GameDirTest, KeepsTheFolderUpToTheLastBackslashCutToTheBuffer) {
    const std::string longPath = "C:\\" + std::string(300, 'a') + "\\SKH2026_Patcher.exe";
    struct Case {
        std::string path;
        size_t size;
        std::string expected;
    } cases[] = {
        {"C:\\Games\\Client\\SKH2026_Patcher.exe", 260, "C:\\Games\\Client\\"},
        {"C:\\SKH2026_Patcher.exe", 260, "C:\\"},
        // Forward slashes are not folder separators here.
        {"C:\\Games/Client/SKH2026_Patcher.exe", 260, "C:\\"},
        {"SKH2026_Patcher.exe", 260, ".\\"},
        {"", 260, ".\\"},
        {longPath, 260, longPath.substr(0, 259)},
        {"C:\\Games\\x.exe", 5, "C:\\G"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GameDirOf(c.path, c.size), c.expected) << c.path.substr(0, 40);
}

TEST(PlacementTest, CentresOnTheScreenAndOverhangsSmallOnesWithoutClamping) {
    // Odd differences truncate toward zero, also when negative.
    const int cases[][4] = {
        {1920, 1080, 550, 280}, {1024, 768, 102, 124}, {800, 600, -10, 40}, {817, 521, -1, 0}};
    for (const auto& c : cases) {
        WindowOrigin origin = CentredWindowOrigin(c[0], c[1]);
        EXPECT_EQ(origin.left, c[2]) << c[0] << "x" << c[1];
        EXPECT_EQ(origin.top, c[3]) << c[0] << "x" << c[1];
    }
}

TEST(DragBandTest, TitleBandStopsShortOfTheCaptionButtonsUpperSideBandReachesFurther) {
    const int cases[][3] = {// x, y, drags
                            {0, 0, 1},     {711, 10, 1},  {712, 10, 0},  {711, 57, 1},
                            {712, 57, 0},  {731, 58, 1},  {731, 100, 1}, {732, 100, 0},
                            {100, 145, 1}, {100, 146, 0}, {0, 146, 0},   {300, 300, 0},
                            {819, 519, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(IsDragPoint(c[0], c[1]), c[2] == 1) << "(" << c[0] << "," << c[1] << ")";
}

TEST(ButtonTableTest, ButtonsInsideTheWindowOutsideTheDragBandsAndApart) {
    for (int i = 0; i < kButtonCount; ++i) {
        const ButtonPlacement& a = kButtonPlacements[i];
        SCOPED_TRACE(a.id);
        EXPECT_TRUE(IsLauncherButton(a.id));
        EXPECT_GE(a.left, 0);
        EXPECT_GE(a.top, 0);
        EXPECT_LE(a.left + a.width, kWindowWidth);
        EXPECT_LE(a.top + a.height, kWindowHeight);
        // A band under a button would mean the bands and the buttons were moved apart.
        for (int y = a.top; y < a.top + a.height; ++y)
            EXPECT_FALSE(IsDragPoint(a.left, y)) << "at y " << y;
        for (int j = i + 1; j < kButtonCount; ++j) {
            const ButtonPlacement& b = kButtonPlacements[j];
            EXPECT_NE(a.id, b.id);
            bool apart = a.left + a.width <= b.left || b.left + b.width <= a.left ||
                         a.top + a.height <= b.top || b.top + b.height <= a.top;
            EXPECT_TRUE(apart) << a.id << " overlaps " << b.id;
        }
    }
    EXPECT_EQ(kButtonPlacements[kButtonCount - 1].id, IDC_PLAY);
    for (int id = 995; id < 1015; ++id)
        EXPECT_EQ(IsLauncherButton(id), id >= 1001 && id <= 1009) << "id " << id;
}

}  // namespace
