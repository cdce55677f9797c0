// The launcher's wait before a transfer is tried again.
#include "base/retry_pause.h"

#include <windows.h>

void PauseBeforeRetry(int milliseconds) {
    Sleep(static_cast<DWORD>(milliseconds));
}
