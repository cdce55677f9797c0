// The test build's seams, linked where the launcher links its own (each seam's header says which).
#include "test_seams.h"

#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include <atomic>
#include <mutex>
#include <utility>

#include "base/server_files.h"
#include "base/retry_pause.h"
#include "base/server_urls.h"
#include "base/status_note.h"
#include "base/system_tools_win.h"
#include "build_config.h"
#include "render/gdi_tally.h"

namespace {

char gFullBase[600], gShareBase[600];

// Before main, so that an end-to-end test can point the test launcher at the local server.
const bool gRootFromEnvironment = [] {
    const char* root = getenv("SKH_TEST_PATCH_ROOT");
    SetPatchRootForTests(root != nullptr && *root != '\0' ? root : SKH_PATCH_ROOT);
    return true;
}();

// Pauses are recorded and kept in proportion, a fiftieth as long.
constexpr int kPauseDivisor = 50;
std::mutex gPauseLock, gStatusLock;
std::vector<int> gPauses;
std::vector<StatusRecord> gStatusLog;
bool gStatusRecording = true;
std::atomic<long> gCreated{0}, gDeleted{0};  // a test may paint on several threads

}  // namespace

const char* const kFullBaseUrl = gFullBase;
const char* const kShareBaseUrl = gShareBase;

void SetPatchRootForTests(const char* root) {
    snprintf(gFullBase, sizeof(gFullBase), "%s/%s/", root, kFullTreeName);
    snprintf(gShareBase, sizeof(gShareBase), "%s/%s/", root, kShareTreeName);
}

// SKH_TEST_TOOLS_FOLDER points the update script at stand-ins: Wine's tasklist lists nothing.
bool SystemToolsFolder(char* out, size_t outSize) {
    const char* folder = getenv("SKH_TEST_TOOLS_FOLDER");
    if (folder == nullptr || *folder == '\0') {
        const UINT length = GetSystemDirectoryA(out, static_cast<UINT>(outSize));
        return length > 0 && length < outSize;
    }
    return static_cast<size_t>(snprintf(out, outSize, "%s", folder)) < outSize;
}

void PauseBeforeRetry(int milliseconds) {
    {
        std::lock_guard<std::mutex> guard(gPauseLock);
        gPauses.push_back(milliseconds);
    }
    Sleep(static_cast<DWORD>(milliseconds / kPauseDivisor));
}

std::vector<int> TakeRetryPauses() {
    std::lock_guard<std::mutex> guard(gPauseLock);
    return std::exchange(gPauses, {});
}

void NoteStatus(const char* text, int percent) {
    std::lock_guard<std::mutex> guard(gStatusLock);
    if (gStatusRecording)
        gStatusLog.push_back({text, percent});
}

std::vector<StatusRecord> TakeStatusLog() {
    std::lock_guard<std::mutex> guard(gStatusLock);
    return std::exchange(gStatusLog, {});
}

void SetStatusRecording(bool on) {
    std::lock_guard<std::mutex> guard(gStatusLock);
    gStatusRecording = on;
}

void NoteGdiCreated() {
    ++gCreated;
}

void NoteGdiDeleted() {
    ++gDeleted;
}

GdiTally ReadGdiTally() {
    return {gCreated.load(), gDeleted.load()};
}
