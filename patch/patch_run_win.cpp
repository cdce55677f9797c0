// PatchThreadProc: self-update, version check, manifest stage, state file, final message.
#include "patch/patch_run_win.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "base/game_path.h"
#include "base/http_win.h"
#include "base/launcher_state_win.h"
#include "base/own_files.h"
#include "base/player_texts.h"
#include "base/run_log_win.h"
#include "base/server_files.h"
#include "base/server_urls.h"
#include "base/status_win.h"
#include "base/stdio_file.h"
#include "patch/manifest_win.h"
#include "patch/patch_run.h"
#include "patch/runtime_win.h"
#include "patch/self_update_win.h"
#include "patch/stage_progress.h"

namespace {

constexpr int kFinalMessageSize = 400;

// A missing or unreadable state file reads as the empty text.
void ReadLocalVersion(char* out) {
    out[0] = '\0';
    char path[kPathSize];
    if (!GameFolderPath(gState.gameDir, kStateFileName, path, sizeof(path)))
        return;
    StdioFile file(fopen(path, "rb"));
    if (file.file == nullptr)
        return;
    size_t got = fread(out, 1, kLocalVersionSize - 1, file.file);
    out[got] = '\0';
    CutAtLineBreak(out);
}

void WriteLocalVersion(const char* serverVersion) {
    char path[kPathSize];
    if (!GameFolderPath(gState.gameDir, kStateFileName, path, sizeof(path)))
        return;
    StdioFile file(fopen(path, "wb"));
    if (file.file != nullptr)
        fwrite(serverVersion, 1, strlen(serverVersion), file.file);
}

// A body of zero bytes counts as nothing received, as a failed fetch does.
FetchedText FetchFullTreeFile(const char* name) {
    char url[kControlAddressSize];
    snprintf(url, sizeof(url), "%s%s", FULL_BASE_URL, name);
    FetchedText text = HttpFetchText(url);
    if (text.text != nullptr && text.length == 0)
        LogProblem("GET %s: empty body", url);
    return text;
}

// The flag goes out before the message, so the repaint it causes shows the ready face.
unsigned FinishRun(const char* message) {
    SetStatus(message, kFinishedPercent);
    gState.patchFinished.store(1, std::memory_order_release);
    PostMessageA(gState.mainWindow, WM_PATCH_FINISHED, 0, 0);
    return 0;
}

}  // namespace

unsigned __stdcall PatchThreadProc(void*) {
    // Both are checked before anything is fetched or written: with a cut folder every path
    // would land outside the game, and a folder that refuses writes would fail file by file.
    if (gState.gameDir[0] == '\0')
        return FinishRun(kStatusFolderTooLong);
    if (!OpenRunLog())
        return FinishRun(kStatusFolderNotWritable);
    TrySelfUpdate();
    SetStatus(kStatusVersionCheck, kVersionCheckPercent);
    FetchedText serverVersion = FetchFullTreeFile(kVersionFileName);
    if (serverVersion.IsEmpty())
        return FinishRun(kStatusOffline);
    CutAtLineBreak(serverVersion.text);

    char localVersion[kLocalVersionSize];
    ReadLocalVersion(localVersion);
    const bool versionChanged = strcmp(serverVersion.text, localVersion) != 0;

    SetStatus(kStatusManifestFetch, kManifestStartPercent);
    FetchedText manifest = FetchFullTreeFile(kManifestFileName);
    if (manifest.IsEmpty())
        return FinishRun(kStatusManifestFailed);

    ManifestCounts counts = RunManifestCheck(manifest.text, versionChanged);
    if (counts.failedCount == 0)
        WriteLocalVersion(serverVersion.text);

    EnsureRuntimeInstalled();

    char message[kFinalMessageSize];
    FormatFinalMessage(counts.downloadedCount, counts.failedCount, message, sizeof(message));
    return FinishRun(message);
}
