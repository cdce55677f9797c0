// A short plain-text log of what went wrong in this run, beside the state file.
#include "base/run_log_win.h"

#include <windows.h>
#include <stdarg.h>
#include <stdio.h>

#include "base/game_path.h"
#include "base/launcher_state_win.h"
#include "base/own_files.h"
#include "base/stdio_file.h"

namespace {

constexpr int kLineSize = 1024;

}  // namespace

// Both workers may log at once; the file is opened for each line, so nothing stays open.
bool OpenRunLog() {
    RunLogState& log = gState.runLog;
    AcquireSRWLockExclusive(&log.lock);
    log.open = false;
    log.bytes = 0;
    if (GameFolderPath(gState.gameDir, kRunLogFileName, log.path, sizeof(log.path))) {
        StdioFile file(fopen(log.path, "wb"));
        log.open = file.file != nullptr && file.Close();
    }
    const bool open = log.open;
    ReleaseSRWLockExclusive(&log.lock);
    return open;
}

void LogProblem(const char* format, ...) {
    char line[kLineSize];
    va_list arguments;
    va_start(arguments, format);
    int length = vsnprintf(line, sizeof(line) - 2, format, arguments);
    va_end(arguments);
    if (length < 0)
        return;
    if (length > static_cast<int>(sizeof(line)) - 3)
        length = sizeof(line) - 3;
    line[length++] = '\r';
    line[length++] = '\n';

    RunLogState& log = gState.runLog;
    AcquireSRWLockExclusive(&log.lock);
    if (log.open && log.bytes + length <= kRunLogLimit) {
        StdioFile file(fopen(log.path, "ab"));
        if (file.file != nullptr &&
            fwrite(line, 1, length, file.file) == static_cast<size_t>(length))
            log.bytes += length;
    }
    ReleaseSRWLockExclusive(&log.lock);
}
