// SetStatus: the patch thread's only way of reporting to the window.
#include "base/status_win.h"

#include <windows.h>
#include <string.h>

#include "base/launcher_state_win.h"
#include "base/status_note.h"

void SetStatus(const char* text, int percent) {
    AcquireSRWLockExclusive(&gState.statusLock);
    size_t length = strnlen(text, kStatusTextSize - 1);
    memcpy(gState.statusText, text, length);
    gState.statusText[length] = '\0';
    ReleaseSRWLockExclusive(&gState.statusLock);
    if (percent >= 0)
        gState.progressPercent.store(percent, std::memory_order_release);
    NoteStatus(text, percent);
    InvalidateRect(gState.mainWindow, &kStatusArea, FALSE);
}
