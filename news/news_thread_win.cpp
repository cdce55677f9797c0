// NewsThreadProc: one fetch of news.txt from the share, parsed into LauncherState.
#include "news/news_thread_win.h"

#include <windows.h>
#include <stdio.h>

#include "base/http_win.h"
#include "base/launcher_state_win.h"
#include "base/server_files.h"
#include "base/server_urls.h"
#include "news/news_parse.h"

unsigned __stdcall NewsThreadProc(void*) {
    char url[kControlAddressSize];
    snprintf(url, sizeof(url), "%s%s", kShareBaseUrl, kNewsFileName);
    FetchedText news = HttpFetchText(url, kNewsTextLimit);
    int count = news.IsEmpty() ? 0 : ParseNewsText(news.text, gState.newsItems, kNewsItemsMax);
    // The painter reads the entries once it sees the count, so the count goes out last.
    gState.newsCount.store(count, std::memory_order_release);
    PostMessageA(gState.mainWindow, WM_NEWS_READY, 0, 0);
    return 0;
}
