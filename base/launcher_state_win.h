// The one process-wide record the UI thread and the two workers meet through, with the two
// messages the workers post and the two rectangles they invalidate.
#pragma once

#include <windows.h>

#include <atomic>

#include "base/game_path.h"
#include "base/news_item.h"
#include "base/player_texts.h"

constexpr UINT WM_PATCH_FINISHED = WM_APP + 1;
constexpr UINT WM_NEWS_READY = WM_APP + 2;

constexpr int kStatusTextSize = 300;

// What a new status line or the news list repaints.
extern const RECT kStatusArea;
extern const RECT kNewsArea;

// The run log of both workers: its path, whether it could be created and how much it holds,
// all under its lock.
struct RunLogState {
    SRWLOCK lock = SRWLOCK_INIT;
    bool open = false;
    long bytes = 0;
    char path[kPathSize] = {};
};

struct LauncherState {
    // Written by SetStatus on the patch thread, copied out by the painter; both sides
    // hold statusLock only for the 300-byte copy, so neither ever waits on real work.
    char statusText[kStatusTextSize] = SKH_STATUS_STARTING;
    SRWLOCK statusLock = SRWLOCK_INIT;
    // Stored with release order after the data they publish, loaded with acquire order.
    std::atomic<LONG> progressPercent{0};
    std::atomic<LONG> patchFinished{0};
    // -1 while the news thread is still fetching.
    std::atomic<LONG> newsCount{-1};
    NewsItem newsItems[kNewsItemsMax] = {};
    char gameDir[kPathSize] = {};
    HBITMAP backgroundBitmap = nullptr;
    HWND playButton = nullptr;
    HWND mainWindow = nullptr;
    RunLogState runLog;
};

extern LauncherState gState;

// Copies statusText into out (kStatusTextSize bytes) without ever seeing a half-written line.
void ReadStatusText(char* out);
