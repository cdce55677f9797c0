// One entry of the news panel, three fixed-size zero-terminated texts.
#pragma once

constexpr int kNewsItemsMax = 5;

struct NewsItem {
    char tag[24];
    char title[120];
    char body[160];
};
