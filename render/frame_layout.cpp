// Where the live parts of the main window's frame go: the news rows and the progress fill.
#include "render/frame_layout.h"

namespace {

constexpr int kFirstRowTop = 202;
constexpr int kRowHeightTitleOnly = 22;
constexpr int kRowHeightWithBody = 38;
constexpr int kRowGap = 2;
constexpr int kLastRowTop = 371;
constexpr int kLastSeparatorRowBottom = 381;

}  // namespace

int ProgressFillWidth(int percent) {
    int p = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
    if (p * kProgressFillMax < kSmallestFill * 100)
        return 0;
    return p * kProgressFillMax / 100;
}

int LayoutNewsRows(const NewsItem* items, int count, NewsRowLayout rows[kNewsItemsMax]) {
    if (count > kNewsItemsMax)
        count = kNewsItemsMax;
    int drawn = 0;
    int top = kFirstRowTop;
    for (int i = 0; i < count; ++i) {
        NewsRowLayout& row = rows[i];
        row.top = top;
        row.hasBody = items[i].body[0] != '\0';
        int height = row.hasBody ? kRowHeightWithBody : kRowHeightTitleOnly;
        row.hasSeparator = i < count - 1 && top + height <= kLastSeparatorRowBottom;
        row.separatorY = top + height - 4;
        ++drawn;
        top += height + kRowGap;
        if (top > kLastRowTop)
            break;
    }
    return drawn;
}
