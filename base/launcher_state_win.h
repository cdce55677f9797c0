// The one process-wide record the UI thread and the two workers meet through, with the two
// messages the workers post and the two rectangles they invalidate.
#pragma once

#include <windows.h>

#include <atomic>

#include "base/game_path.h"
#include "base/news_item.h"

constexpr UINT WM_PATCH_FINISHED = WM_APP + 1;
constexpr UINT WM_NEWS_READY = WM_APP + 2;

constexpr int kStatusTextSize = 300;

extern const RECT statusArea;
extern const RECT newsArea;

struct LauncherState {
    // Written by SetStatus on the patch thread, copied out by the painter; both sides
    // hold statusLock only for the 300-byte copy, so neither ever waits on real work.
    char statusText[kStatusTextSize];
    SRWLOCK statusLock;
    // Stored with release order after the data they publish, loaded with acquire order.
    std::atomic<LONG> progressPercent;
    std::atomic<LONG> patchFinished;
    std::atomic<LONG> newsCount;
    NewsItem newsItems[kNewsItemsMax];
    char gameDir[kPathSize];
    HBITMAP backgroundBitmap;
    HWND playButton;
    HWND mainWindow;
};

extern LauncherState gState;

// Copies statusText into out (kStatusTextSize bytes) without ever seeing a half-written line.
void ReadStatusText(char* out);
