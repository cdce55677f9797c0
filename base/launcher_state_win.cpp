// The global LauncherState with its initial values, and the shared rectangles.
#include "base/launcher_state_win.h"

#include <string.h>

#include "base/player_texts.h"

const RECT statusArea = {26, 454, 736, 491};
const RECT newsArea = {26, 146, 508, 408};

LauncherState gState = {
    SKH_STATUS_STARTING, SRWLOCK_INIT, {0}, {0}, {-1}, {}, {}, nullptr, nullptr, nullptr,
};

void ReadStatusText(char* out) {
    AcquireSRWLockShared(&gState.statusLock);
    memcpy(out, gState.statusText, kStatusTextSize);
    ReleaseSRWLockShared(&gState.statusLock);
    out[kStatusTextSize - 1] = '\0';
}
