// NewsThreadProc: one fetch of news.txt from the share, parsed into LauncherState.
#include "news/news_thread.h"

#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include "app/launcher_state.h"
#include "news/news_parse.h"
#include "patch/http.h"
#include "patch/server_urls.h"

unsigned __stdcall NewsThreadProc(void*) {
    char url[1024];
    snprintf(url, sizeof(url), "%snews.txt", SHARE_BASE_URL);
    int count = 0;
    int length = 0;
    char* text = HttpFetchText(url, &length);
    if (text != nullptr) {
        if (length > 0)
            count = ParseNewsText(text, gState.newsItems, kNewsItemsMax);
        free(text);
    }
    // The painter reads the entries once it sees the count, so the count goes out last.
    gState.newsCount.store(count, std::memory_order_release);
    PostMessageA(gState.mainWindow, WM_NEWS_READY, 0, 0);
    return 0;
}
