// Window and frame arithmetic: game folder, placement, dragging, fill, news rows, gradient, gears.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <string>

#include "app/layout.h"
#include "render/frame_layout.h"
#include "render/glyph_geometry.h"
#include "render/gradient.h"

namespace {

TEST(WindowLayoutTest, GameFolderOrNothingWhenCutCentringNeverClampedAndButtonsNeverDrag) {
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
        const bool ok = GameDirFromModulePath(row.path.c_str(), row.reported, 260, out, 260);
        EXPECT_EQ(std::make_pair(ok, std::string(out)), std::make_pair(row.ok, row.folder));
    }

    // A screen smaller than the window gives a negative origin, never clamped off the caption.
    const int screens[][4] = {{1920, 1080, 550, 280}, {800, 600, -10, 40}, {817, 521, -1, 0}};
    for (const auto& row : screens) {
        WindowOrigin origin = CentredWindowOrigin(row[0], row[1]);
        EXPECT_EQ(std::make_pair(origin.left, origin.top), std::make_pair(row[2], row[3]))
            << row[0] << "x" << row[1];
    }

    // Every button lies inside the window, overlaps no other and is never a drag point; the
    // caption strip just left of the first caption button drags.
    for (const ButtonPlacement& a : kButtonPlacements) {
        EXPECT_TRUE(a.left >= 0 && a.top >= 0 && a.left + a.width <= kWindowWidth &&
                    a.top + a.height <= kWindowHeight)
            << a.id;
        for (int x = a.left; x < a.left + a.width; ++x)
            for (int y = a.top; y < a.top + a.height; ++y)
                ASSERT_FALSE(IsDragPoint(x, y)) << a.id << " at " << x << "," << y;
        for (const ButtonPlacement& b : kButtonPlacements)
            EXPECT_TRUE(&a == &b || a.left + a.width <= b.left || b.left + b.width <= a.left ||
                        a.top + a.height <= b.top || b.top + b.height <= a.top)
                << a.id << " overlaps " << b.id;
    }
    EXPECT_TRUE(IsDragPoint(kCaptionButtonsLeft - 5, kCaptionButtonsTop));
    EXPECT_FALSE(IsDragPoint(kStatusLine.left, kStatusLine.top));
}

TEST(FrameLayoutTest, ProgressFillGrowsWithinTheTrackAndNewsRowsStayInThePanel) {
    // The fill never shrinks, fills the track exactly at 100 %, and no sliver too thin to round.
    int previous = 0;
    for (int percent = -5; percent <= 105; ++percent) {
        const int width = ProgressFillWidth(percent);
        EXPECT_GE(width, previous) << percent;
        EXPECT_TRUE(width == 0 || width >= kSmallestFill) << percent;
        previous = width;
    }
    EXPECT_EQ(ProgressFillWidth(0), 0);
    EXPECT_EQ(ProgressFillWidth(100), kProgressTrack.right - kProgressTrack.left - 2);
    EXPECT_EQ(ProgressFillWidth(2147483647), ProgressFillWidth(100));

    // Rows with a body are taller; separators only between rows; five fit above the status line.
    NewsItem items[kNewsItemsMax] = {};
    for (int i : {1, 3, 4})
        strcpy(items[i].body, "body");
    NewsRowLayout rows[kNewsItemsMax];
    ASSERT_EQ(LayoutNewsRows(items, 5, rows), 5);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(rows[i].hasBody == (i == 1 || i == 3) && rows[i].hasSeparator &&
                    rows[i].separatorY > rows[i].top && rows[i].separatorY < rows[i + 1].top)
            << i;
    EXPECT_GT(rows[2].top - rows[1].top, rows[1].top - rows[0].top);
    EXPECT_FALSE(rows[4].hasSeparator);
    EXPECT_LT(rows[4].top + 38, kStatusLine.top);
    // A count the array does not hold must never make the painter read past it.
    EXPECT_EQ(LayoutNewsRows(items, 99, rows), kNewsItemsMax);
    EXPECT_EQ(LayoutNewsRows(items, -1, rows), 0);
}

TEST(GlyphTest, GradientChannelsStepIndependentlyAndGearSpokesStandOnTheirCircles) {
    // Each channel moves by its share of the difference, cut towards the top colour, so that
    // the last row stays a step short of the bottom one (row 61 of 62: 255 - 2013 / 62 = 223).
    const PackedColor top = PackRgb(255, 214, 110), bottom = PackRgb(222, 168, 64);
    EXPECT_EQ(GradientRowColor(2, 62, top, bottom), PackRgb(254, 213, 109));
    EXPECT_EQ(GradientRowColor(61, 62, top, bottom), PackRgb(223, 169, 65));
    // Red falls, green and blue rise, 300 rows: row 299 is 255 - 254 = 1 and 254.
    EXPECT_EQ(GradientRowColor(299, 300, PackRgb(255, 0, 0), PackRgb(0, 255, 255)),
              PackRgb(1, 254, 254));

    // Size 7: spokes from radius 5 to 10, 45 degrees apart clockwise from the right; pixels fall
    // short of a radius by one at most, never beyond it.
    GearSpoke spokes[kGearSpokes];
    ComputeGearSpokes(7, spokes);
    for (int i = 0; i < kGearSpokes; ++i) {
        const GearSpoke& s = spokes[i];
        const double inner = hypot(s.innerX, s.innerY), outer = hypot(s.outerX, s.outerY);
        EXPECT_TRUE(inner > 4 - 1e-9 && inner <= 5 + 1e-9 && outer > 9 - 1e-9 && outer <= 10 + 1e-9)
            << i << ": " << inner << ", " << outer;
        const double angle = atan2(s.outerY, s.outerX) * 180 / M_PI;
        EXPECT_NEAR(fmod(angle + 360, 360), i * 45, 6) << i;
    }
}

}  // namespace
