// SetStatus: the patch thread's only way of reporting to the window.
#include <windows.h>
#include <string.h>

#include "app/launcher_state.h"
#include "patch/http.h"

#ifdef SKH_TESTING
#include <mutex>
namespace {
std::mutex gStatusLogLock;
std::vector<StatusRecord> gStatusLog;
bool gStatusRecording = true;
}  // namespace

void SetStatusRecording(bool on) {
    std::lock_guard<std::mutex> guard(gStatusLogLock);
    gStatusRecording = on;
}

std::vector<StatusRecord> TakeStatusLog() {
    std::lock_guard<std::mutex> guard(gStatusLogLock);
    std::vector<StatusRecord> out;
    out.swap(gStatusLog);
    return out;
}
#endif

void SetStatus(const char* text, int percent) {
    AcquireSRWLockExclusive(&gState.statusLock);
    size_t length = strnlen(text, kStatusTextSize - 1);
    memcpy(gState.statusText, text, length);
    gState.statusText[length] = '\0';
    gState.statusText[kStatusTextSize - 1] = '\0';
    ReleaseSRWLockExclusive(&gState.statusLock);
    if (percent >= 0)
        gState.progressPercent.store(percent, std::memory_order_release);
#ifdef SKH_TESTING
    {
        std::lock_guard<std::mutex> guard(gStatusLogLock);
        if (gStatusRecording) gStatusLog.push_back({gState.statusText, percent});
    }
#endif
    InvalidateRect(gState.mainWindow, &statusArea, FALSE);
}
