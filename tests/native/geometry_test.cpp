// Window and frame arithmetic: the game folder rule, placement, drag bands, progress width,
// news rows, gradient rows and gear spokes, with values worked out by hand.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "app/layout.h"
#include "render/frame_layout.h"
#include "render/glyph_geometry.h"
#include "render/gradient.h"

namespace {

TEST(WindowLayoutTest, GameFolderOrNothingWhenCutCentringNeverClampedAndDragBands) {
    const std::string deep = "C:\\" + std::string(240, 'd') + "\\SKH2026_Patcher.exe";
    const struct {
        std::string path;
        size_t reported;  // what GetModuleFileNameA returned for a 260-byte buffer
        bool ok;
        std::string folder;
    } rows[] = {
        {"C:\\Games\\Client\\SKH2026_Patcher.exe", 34, true, "C:\\Games\\Client\\"},
        {"C:\\Games/Client/SKH2026_Patcher.exe", 34, true, "C:\\"},
        {"SKH2026_Patcher.exe", 19, true, ".\\"},
        {deep.substr(0, 259), 259, true, deep.substr(0, 244)},
        // A full buffer: the name was cut, and its folder part may be a folder above.
        {deep.substr(0, 259), 260, false, ""},
        {"", 0, false, ""},
    };
    for (const auto& row : rows) {
        char out[260];
        memset(out, 'x', sizeof(out));
        EXPECT_EQ(GameDirFromModulePath(row.path.c_str(), row.reported, 260, out, 260), row.ok)
            << row.path.substr(0, 40);
        EXPECT_EQ(std::string(out), row.folder) << row.path.substr(0, 40);
    }

    // (1920 - 820) / 2 = 550, (1080 - 520) / 2 = 280; (800 - 820) / 2 = -10; (817 - 820) / 2
    // truncates to -1, (521 - 520) / 2 to 0.
    const int screens[][4] = {{1920, 1080, 550, 280}, {800, 600, -10, 40}, {817, 521, -1, 0}};
    for (const auto& row : screens) {
        WindowOrigin origin = CentredWindowOrigin(row[0], row[1]);
        EXPECT_EQ(std::make_pair(origin.left, origin.top), std::make_pair(row[2], row[3]))
            << row[0] << "x" << row[1];
    }
    // The title band ends at column 712 and row 57, the upper side band at 732 and 145.
    const int drag[][3] = {{711, 10, 1},  {712, 10, 0},  {712, 57, 0},  {731, 58, 1},
                           {732, 100, 0}, {731, 145, 1}, {100, 146, 0}, {0, 519, 0}};
    for (const auto& row : drag)
        EXPECT_EQ(IsDragPoint(row[0], row[1]), row[2] == 1) << row[0] << "," << row[1];
}

TEST(FrameLayoutTest, ProgressFillAndNewsRowsOf24Or40PixelsNoSeparatorUnderTheLast) {
    // 674 * p / 100: 1 % gives 6, 50 % gives 337, 99 % gives 667; 0 % would be 0 and
    // anything past 100 % or below 0 % is held at the track's ends.
    const int fills[][2] = {{0, 0},     {1, 6},     {50, 337},         {99, 667},
                            {100, 674}, {185, 674}, {2147483647, 674}, {-1, 0}};
    for (const auto& fill : fills)
        EXPECT_EQ(ProgressFillWidth(fill[0]), fill[1]) << fill[0] << " %";
    NewsItem items[kNewsItemsMax] = {};
    for (int i : {1, 3, 4})
        strcpy(items[i].body, "body");
    NewsRowLayout rows[kNewsItemsMax];
    // Rows take 22 (title only) or 38 pixels plus a gap of 2: tops 202, 226, 266, 290, 330.
    ASSERT_EQ(LayoutNewsRows(items, 5, rows), 5);
    const int tops[] = {202, 226, 266, 290, 330}, separators[] = {220, 260, 284, 324, 0};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(rows[i].top, tops[i]) << i;
        EXPECT_EQ(rows[i].hasSeparator ? rows[i].separatorY : 0, separators[i]) << i;
    }
    // A count the array does not hold must never make the painter read past it.
    EXPECT_EQ(LayoutNewsRows(items, 99, rows), kNewsItemsMax);
    EXPECT_EQ(LayoutNewsRows(items, -1, rows), 0);
}

TEST(GlyphTest, GradientChannelsStepIndependentlyAndGearSpokesUseTheShortPi) {
    // Play button, 62 rows from (255, 214, 110) to (222, 168, 64): row 2 is 255 - 66 / 62 =
    // 254, 214 - 92 / 62 = 213, 110 - 92 / 62 = 109; row 61 is 255 - 2013 / 62 = 223,
    // 214 - 2806 / 62 = 169, 110 - 2806 / 62 = 65.
    const PackedColor top = PackRgb(255, 214, 110), bottom = PackRgb(222, 168, 64);
    EXPECT_EQ(GradientRowColor(0, 62, top, bottom), top);
    EXPECT_EQ(GradientRowColor(2, 62, top, bottom), PackRgb(254, 213, 109));
    EXPECT_EQ(GradientRowColor(61, 62, top, bottom), PackRgb(223, 169, 65));
    // Red falls, green and blue rise, 300 rows: row 299 is 255 - 254 = 1 and 254.
    EXPECT_EQ(GradientRowColor(299, 300, PackRgb(255, 0, 0), PackRgb(0, 255, 255)),
              PackRgb(1, 254, 254));

    // Inner radius 5, outer 10. Spoke 1: 5 cos 45 = 3.5 -> 3, 10 cos 45 = 7.07 -> 7. With
    // 3.14159 for pi, spoke 2's sine is just under 1, so 5 and 10 truncate to 4 and 9, and
    // spoke 4's cosine just above -1 gives -4 and -9.
    GearSpoke spokes[kGearSpokes];
    ComputeGearSpokes(7, spokes);
    std::string drawn;  // inner x, y and outer x, y of each spoke
    for (const GearSpoke& s : spokes)
        drawn += " " + std::to_string(s.innerX) + "," + std::to_string(s.innerY) + "," +
                 std::to_string(s.outerX) + "," + std::to_string(s.outerY);
    EXPECT_EQ(drawn,
              " 5,0,10,0 3,3,7,7 0,4,0,9 -3,3,-7,7 -4,0,-9,0 -3,-3,-7,-7 0,-4,0,-9 3,-3,7,-7");
}

}  // namespace
