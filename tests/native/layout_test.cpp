// Window geometry: the game folder rule, centring, the drag bands and the button table.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "app/layout.h"

namespace {

std::string GameDirOf(const char* modulePath, size_t size = 260) {
    char out[260];
    memset(out, 'x', sizeof(out));
    GameDirFromModulePath(modulePath, out, size);
    return out;
}

TEST(GameDirTest, KeepsTheFolderWithItsTrailingBackslash) {
    EXPECT_EQ(GameDirOf("C:\\Games\\Client\\SKH2026_Patcher.exe"), "C:\\Games\\Client\\");
    EXPECT_EQ(GameDirOf("C:\\SKH2026_Patcher.exe"), "C:\\");
    // Forward slashes are not folder separators here: only the last backslash counts.
    EXPECT_EQ(GameDirOf("C:\\Games/Client/SKH2026_Patcher.exe"), "C:\\");
}

TEST(GameDirTest, PathWithoutBackslashMeansCurrentFolder) {
    EXPECT_EQ(GameDirOf("SKH2026_Patcher.exe"), ".\\");
    EXPECT_EQ(GameDirOf(""), ".\\");
}

TEST(GameDirTest, LongFolderIsCutAndTerminated) {
    std::string longPath = "C:\\" + std::string(300, 'a') + "\\SKH2026_Patcher.exe";
    std::string dir = GameDirOf(longPath.c_str());
    EXPECT_EQ(dir.size(), 259u);
    EXPECT_EQ(dir, longPath.substr(0, 259));
    EXPECT_EQ(GameDirOf("C:\\Games\\x.exe", 5), "C:\\G");
}

TEST(PlacementTest, CentresOnTheScreen) {
    WindowOrigin fullHd = CentredWindowOrigin(1920, 1080);
    EXPECT_EQ(fullHd.left, 550);
    EXPECT_EQ(fullHd.top, 280);
    WindowOrigin xga = CentredWindowOrigin(1024, 768);
    EXPECT_EQ(xga.left, 102);
    EXPECT_EQ(xga.top, 124);
}

TEST(PlacementTest, SmallScreenOverhangsWithoutClamping) {
    WindowOrigin svga = CentredWindowOrigin(800, 600);
    EXPECT_EQ(svga.left, -10);
    EXPECT_EQ(svga.top, 40);
    // Odd differences truncate toward zero, also when negative.
    WindowOrigin odd = CentredWindowOrigin(817, 521);
    EXPECT_EQ(odd.left, -1);
    EXPECT_EQ(odd.top, 0);
}

TEST(DragBandTest, TitleBandEndsShortOfTheCaptionButtons) {
    EXPECT_TRUE(IsDragPoint(711, 10));
    EXPECT_FALSE(IsDragPoint(712, 10));
    EXPECT_TRUE(IsDragPoint(0, 0));
    EXPECT_TRUE(IsDragPoint(711, 57));
    EXPECT_FALSE(IsDragPoint(712, 57));
}

TEST(DragBandTest, UpperSideBandReachesFurtherRight) {
    EXPECT_TRUE(IsDragPoint(731, 100));
    EXPECT_FALSE(IsDragPoint(732, 100));
    EXPECT_TRUE(IsDragPoint(731, 58));
    EXPECT_TRUE(IsDragPoint(100, 145));
    EXPECT_FALSE(IsDragPoint(100, 146));
}

TEST(DragBandTest, RestOfWindowNeverDragsThroughHitTest) {
    EXPECT_FALSE(IsDragPoint(0, 146));
    EXPECT_FALSE(IsDragPoint(300, 300));
    EXPECT_FALSE(IsDragPoint(819, 519));
}

TEST(ButtonTableTest, ButtonsStayInsideTheWindowAndOutsideTheDragBands) {
    for (const ButtonPlacement& button : kButtonPlacements) {
        SCOPED_TRACE(button.id);
        EXPECT_TRUE(IsLauncherButton(button.id));
        EXPECT_GE(button.left, 0);
        EXPECT_GE(button.top, 0);
        EXPECT_LE(button.left + button.width, kWindowWidth);
        EXPECT_LE(button.top + button.height, kWindowHeight);
        // A drag band under a button would not steal its clicks, but it would mean the
        // bands and the buttons were moved apart from each other.
        for (int y = button.top; y < button.top + button.height; ++y) {
            EXPECT_FALSE(IsDragPoint(button.left, y)) << "at y " << y;
        }
    }
}

TEST(ButtonTableTest, EveryIdentifierOnceAndButtonsDoNotOverlap) {
    for (int i = 0; i < kButtonCount; ++i) {
        for (int j = i + 1; j < kButtonCount; ++j) {
            const ButtonPlacement& a = kButtonPlacements[i];
            const ButtonPlacement& b = kButtonPlacements[j];
            EXPECT_NE(a.id, b.id);
            bool apart = a.left + a.width <= b.left || b.left + b.width <= a.left ||
                         a.top + a.height <= b.top || b.top + b.height <= a.top;
            EXPECT_TRUE(apart) << a.id << " overlaps " << b.id;
        }
    }
    EXPECT_EQ(kButtonPlacements[kButtonCount - 1].id, IDC_PLAY);
}

TEST(ButtonTableTest, OnlyTheNineIdentifiersAreButtons) {
    EXPECT_FALSE(IsLauncherButton(1000));
    EXPECT_TRUE(IsLauncherButton(1001));
    EXPECT_TRUE(IsLauncherButton(1009));
    EXPECT_FALSE(IsLauncherButton(1010));
}

}  // namespace
