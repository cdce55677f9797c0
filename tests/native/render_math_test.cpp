// Gradient row colours, gear spokes and the frame's live layout, without GDI.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "render/frame_layout.h"
#include "render/glyph_geometry.h"
#include "render/gradient.h"

namespace {

PackedColor Pack(int red, int green, int blue) {
    return static_cast<PackedColor>(red | (green << 8) | (blue << 16));
}

std::vector<int> ChannelRows(int h, int top, int bottom) {
    std::vector<int> rows;
    for (int k = 0; k < h; ++k)
        rows.push_back(GradientChannel(k, h, top, bottom));
    return rows;
}

TEST(GradientTest, RisingAndFallingChannelsTruncateTowardTheTopColour) {
    EXPECT_EQ(ChannelRows(4, 0, 255), (std::vector<int>{0, 63, 127, 191}));
    EXPECT_EQ(ChannelRows(4, 255, 0), (std::vector<int>{255, 192, 128, 64}));
}

TEST(GradientTest, OneRowAndFlatGradientsKeepTheTopColour) {
    EXPECT_EQ(GradientRowColor(0, 1, Pack(1, 2, 3), Pack(200, 100, 50)), Pack(1, 2, 3));
    for (int k = 0; k < 9; ++k)
        EXPECT_EQ(GradientRowColor(k, 9, Pack(7, 8, 9), Pack(7, 8, 9)), Pack(7, 8, 9));
}

TEST(GradientTest, ChannelsMoveIndependentlyAndStopOneStepShort) {
    PackedColor top = Pack(255, 214, 110);
    PackedColor bottom = Pack(222, 168, 64);
    EXPECT_EQ(GradientRowColor(0, 62, top, bottom), Pack(255, 214, 110));
    EXPECT_EQ(GradientRowColor(1, 62, top, bottom), Pack(255, 214, 110));
    EXPECT_EQ(GradientRowColor(2, 62, top, bottom), Pack(254, 213, 109));
    EXPECT_EQ(GradientRowColor(61, 62, top, bottom), Pack(223, 169, 65));
}

TEST(GradientTest, ChannelsNeverSpillIntoTheirNeighbours) {
    // A falling red channel must not borrow from green, nor a rising blue carry past 255.
    PackedColor top = Pack(255, 0, 0);
    PackedColor bottom = Pack(0, 255, 255);
    for (int k = 0; k < 300; ++k) {
        PackedColor row = GradientRowColor(k, 300, top, bottom);
        EXPECT_EQ(row >> 24, 0u);
        EXPECT_EQ(static_cast<int>(row & 0xFF), 255 - k * 255 / 300) << "row " << k;
        EXPECT_EQ(static_cast<int>((row >> 16) & 0xFF), k * 255 / 300) << "row " << k;
    }
}

TEST(GearSpokesTest, SizeSevenMatchesTheDrawnTable) {
    GearSpoke spokes[kGearSpokes];
    ComputeGearSpokes(7, spokes);
    const int expected[kGearSpokes][4] = {
        {5, 0, 10, 0},  {3, 3, 7, 7},     {0, 4, 0, 9},   {-3, 3, -7, 7},
        {-4, 0, -9, 0}, {-3, -3, -7, -7}, {0, -4, 0, -9}, {3, -3, 7, -7},
    };
    for (int k = 0; k < kGearSpokes; ++k) {
        EXPECT_EQ(spokes[k].innerX, expected[k][0]) << "spoke " << k;
        EXPECT_EQ(spokes[k].innerY, expected[k][1]) << "spoke " << k;
        EXPECT_EQ(spokes[k].outerX, expected[k][2]) << "spoke " << k;
        EXPECT_EQ(spokes[k].outerY, expected[k][3]) << "spoke " << k;
    }
}

TEST(ProgressFillTest, WidthsAcrossTheTrack) {
    EXPECT_EQ(ProgressFillWidth(0), 0);
    EXPECT_EQ(ProgressFillWidth(1), 6);
    EXPECT_EQ(ProgressFillWidth(50), 337);
    EXPECT_EQ(ProgressFillWidth(99), 667);
    EXPECT_EQ(ProgressFillWidth(100), 674);
}

TEST(ProgressFillTest, OutOfRangePercentagesStayInsideTheTrack) {
    EXPECT_EQ(ProgressFillWidth(185), 674);
    EXPECT_EQ(ProgressFillWidth(2147483647), 674);
    EXPECT_EQ(ProgressFillWidth(-1), 0);
    EXPECT_EQ(ProgressFillWidth(-2147483647 - 1), 0);
}

NewsItem Item(const char* body) {
    NewsItem item;
    memset(&item, 0, sizeof(item));
    strcpy(item.tag, "INFO");
    strcpy(item.title, "Title");
    strcpy(item.body, body);
    return item;
}

TEST(NewsLayoutTest, FiveRowsWithBodiesAndNoSeparatorUnderTheLast) {
    NewsItem items[kNewsItemsMax];
    for (NewsItem& item : items)
        item = Item("body");
    NewsRowLayout rows[kNewsItemsMax];
    ASSERT_EQ(LayoutNewsRows(items, 5, rows), 5);
    const int tops[] = {202, 242, 282, 322, 362};
    const int separators[] = {236, 276, 316, 356};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(rows[i].top, tops[i]);
        EXPECT_TRUE(rows[i].hasBody);
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(rows[i].hasSeparator);
        EXPECT_EQ(rows[i].separatorY, separators[i]);
    }
    EXPECT_FALSE(rows[4].hasSeparator);
}

TEST(NewsLayoutTest, RowsWithoutBodyAreShorter) {
    NewsItem items[3] = {Item(""), Item("body"), Item("")};
    NewsRowLayout rows[kNewsItemsMax];
    ASSERT_EQ(LayoutNewsRows(items, 3, rows), 3);
    EXPECT_EQ(rows[0].top, 202);
    EXPECT_FALSE(rows[0].hasBody);
    EXPECT_EQ(rows[0].separatorY, 220);
    EXPECT_EQ(rows[1].top, 226);
    EXPECT_EQ(rows[1].separatorY, 260);
    EXPECT_EQ(rows[2].top, 266);
    EXPECT_FALSE(rows[2].hasSeparator);
}

TEST(NewsLayoutTest, CountsOutsideTheArrayAreClamped) {
    NewsItem items[kNewsItemsMax];
    for (NewsItem& item : items)
        item = Item("");
    NewsRowLayout rows[kNewsItemsMax];
    EXPECT_EQ(LayoutNewsRows(items, 0, rows), 0);
    EXPECT_EQ(LayoutNewsRows(items, -1, rows), 0);
    // A count beyond the array must never make the painter read past it.
    ASSERT_EQ(LayoutNewsRows(items, 99, rows), kNewsItemsMax);
    EXPECT_FALSE(rows[kNewsItemsMax - 1].hasSeparator);
}

}  // namespace
