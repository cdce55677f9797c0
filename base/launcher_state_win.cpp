// The global LauncherState with its initial values, and the shared rectangles.
#include "base/launcher_state_win.h"

#include <string.h>

#include "base/window_frame.h"

// The status line and the progress track with the edges their text and glow reach.
const RECT kStatusArea = {kStatusLine.left - 4, kStatusLine.top - 2, kSideBarLeft,
                          kProgressTrack.bottom + 4};
const RECT kNewsArea = {26, 146, 508, 408};

LauncherState gState;

void ReadStatusText(char* out) {
    AcquireSRWLockShared(&gState.statusLock);
    memcpy(out, gState.statusText, kStatusTextSize);
    ReleaseSRWLockShared(&gState.statusLock);
    out[kStatusTextSize - 1] = '\0';
}
