// The wait before a transfer is tried again. The launcher sleeps on its worker thread, which a
// closed window ends with the process; the test build records each pause and keeps it short
// (tests/seams/).
#pragma once

void PauseBeforeRetry(int milliseconds);
