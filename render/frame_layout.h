// Where the live parts of the main window's frame go: the news rows and the progress fill.
#pragma once

#include "base/news_item.h"
#include "base/window_frame.h"

// The track's inner width (inside its one-pixel border), the fill's width at 100 %.
constexpr int kProgressFillMax = kProgressTrack.right - kProgressTrack.left - 2;
// A narrower fill would be all rounded corners.
constexpr int kSmallestFill = 4;

// Width of the progress fill in pixels. The percentage is clamped to 0..100 first, so a
// run that overshoots never paints past the track; fills under kSmallestFill pixels are
// not drawn (0).
int ProgressFillWidth(int percent);

struct NewsRowLayout {
    int top;
    bool hasBody;
    // The separator line under the row, at separatorY, when there is one.
    bool hasSeparator;
    int separatorY;
};

// Lays out the news list for the first count items (count clamped to 0..kNewsItemsMax) and
// returns how many rows fit; rows below the panel's last slot are dropped.
int LayoutNewsRows(const NewsItem* items, int count, NewsRowLayout rows[kNewsItemsMax]);
