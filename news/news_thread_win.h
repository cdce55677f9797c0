// The news worker: fetches the share's news list once and hands it to the window.
#pragma once

// Thread entry for _beginthreadex: stores newsItems, then newsCount, then posts
// WM_NEWS_READY exactly once, whatever the server answered.
unsigned __stdcall NewsThreadProc(void* parameter);
