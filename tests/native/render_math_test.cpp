// Gradient row colours, gear spokes and the frame's live layout, without GDI.
#include <gtest/gtest.h>

#include <string.h>

#include <array>

#include "render/frame_layout.h"
#include "render/glyph_geometry.h"
#include "render/gradient.h"

namespace {

PackedColor Pack(int red, int green, int blue) {
    return static_cast<PackedColor>(red | (green << 8) | (blue << 16));
}

// The four-row rising and falling steps are checked on drawn pixels in the Windows tests.
TEST(GradientTest, PlayButtonRowsAndOneRowOrFlatGradients) {
    // The play button's 62 rows: channels move independently and stop one step short.
    const PackedColor top = Pack(255, 214, 110), bottom = Pack(222, 168, 64);
    EXPECT_EQ(GradientRowColor(0, 62, top, bottom), top);
    EXPECT_EQ(GradientRowColor(1, 62, top, bottom), top);
    EXPECT_EQ(GradientRowColor(2, 62, top, bottom), Pack(254, 213, 109));
    EXPECT_EQ(GradientRowColor(61, 62, top, bottom), Pack(223, 169, 65));
    // One row, and every row of a flat gradient, keep the top colour.
    EXPECT_EQ(GradientRowColor(0, 1, Pack(1, 2, 3), Pack(200, 100, 50)), Pack(1, 2, 3));
    for (int k = 0; k < 9; ++k)
        EXPECT_EQ(GradientRowColor(k, 9, Pack(7, 8, 9), Pack(7, 8, 9)), Pack(7, 8, 9));
}

TEST(GradientTest, ChannelsNeverSpillIntoTheirNeighbours) {
    // A falling red channel must not borrow from green, nor a rising blue carry past 255.
    for (int k = 0; k < 300; ++k) {
        int step = k * 255 / 300;
        EXPECT_EQ(GradientRowColor(k, 300, Pack(255, 0, 0), Pack(0, 255, 255)),
                  Pack(255 - step, step, step))
            << "row " << k;
    }
}

TEST(GearSpokesTest, SizeSevenMatchesTheDrawnTable) {
    GearSpoke spokes[kGearSpokes];
    ComputeGearSpokes(7, spokes);
    const std::array<int, 4> expected[kGearSpokes] = {
        {5, 0, 10, 0},  {3, 3, 7, 7},     {0, 4, 0, 9},   {-3, 3, -7, 7},
        {-4, 0, -9, 0}, {-3, -3, -7, -7}, {0, -4, 0, -9}, {3, -3, 7, -7},
    };
    for (int k = 0; k < kGearSpokes; ++k) {
        const GearSpoke& s = spokes[k];
        EXPECT_EQ((std::array<int, 4>{s.innerX, s.innerY, s.outerX, s.outerY}), expected[k])
            << "spoke " << k;
    }
}

TEST(ProgressFillTest, WidthsAcrossTheTrackAndClampedOutsideIt) {
    const int cases[][2] = {{0, 0},
                            {1, 6},
                            {50, 337},
                            {99, 667},
                            {100, 674},
                            {185, 674},
                            {2147483647, 674},
                            {-1, 0},
                            {-2147483647 - 1, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(ProgressFillWidth(c[0]), c[1]) << c[0] << " %";
}

// Lays out items whose body is empty where `bodies` has a '-'. Five rows with bodies are
// checked on the drawn frame in the Windows tests.
int LayOut(const char* bodies, int count, NewsRowLayout rows[kNewsItemsMax]) {
    NewsItem items[kNewsItemsMax];
    memset(items, 0, sizeof(items));
    for (int i = 0; bodies[i] != '\0'; ++i) {
        strcpy(items[i].tag, "INFO");
        strcpy(items[i].title, "Title");
        strcpy(items[i].body, bodies[i] == '-' ? "" : "body");
    }
    return LayoutNewsRows(items, count, rows);
}

TEST(NewsLayoutTest, RowsWithoutBodyAreShorter) {
    NewsRowLayout rows[kNewsItemsMax];
    ASSERT_EQ(LayOut("-b-", 3, rows), 3);
    EXPECT_FALSE(rows[0].hasBody);
    EXPECT_EQ(rows[0].top, 202);
    EXPECT_EQ(rows[0].separatorY, 220);
    EXPECT_EQ(rows[1].top, 226);
    EXPECT_EQ(rows[1].separatorY, 260);
    EXPECT_EQ(rows[2].top, 266);
    EXPECT_FALSE(rows[2].hasSeparator);
}

TEST(NewsLayoutTest, CountsOutsideTheArrayAreClamped) {
    NewsRowLayout rows[kNewsItemsMax];
    EXPECT_EQ(LayOut("-----", 0, rows), 0);
    EXPECT_EQ(LayOut("-----", -1, rows), 0);
    // A count beyond the array must never make the painter read past it.
    ASSERT_EQ(LayOut("-----", 99, rows), kNewsItemsMax);
    EXPECT_FALSE(rows[kNewsItemsMax - 1].hasSeparator);
}

}  // namespace
