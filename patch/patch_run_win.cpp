// PatchThreadProc: self-update, version check, manifest stage, state file, final message.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "app/launcher_state.h"
#include "patch/http.h"
#include "patch/run_text.h"
#include "patch/server_urls.h"
#include "patch/stages.h"

namespace {

constexpr char kStateFileName[] = "SKH2026_patch.state";
constexpr int kLocalVersionSize = 128;

void StateFilePath(char* out) {
    snprintf(out, kPathSize, "%s%s", gState.gameDir, kStateFileName);
}

// A missing or unreadable state file reads as the empty text.
void ReadLocalVersion(char* out) {
    out[0] = '\0';
    char path[kPathSize];
    StateFilePath(path);
    FILE* file = fopen(path, "rb");
    if (file == nullptr)
        return;
    size_t got = fread(out, 1, kLocalVersionSize - 1, file);
    fclose(file);
    out[got] = '\0';
    CutAtLineBreak(out);
}

void WriteLocalVersion(const char* serverVersion) {
    char path[kPathSize];
    StateFilePath(path);
    FILE* file = fopen(path, "wb");
    if (file == nullptr)
        return;
    fwrite(serverVersion, 1, strlen(serverVersion), file);
    fclose(file);
}

void FinishRun() {
    gState.patchFinished.store(1, std::memory_order_release);
    PostMessageA(gState.mainWindow, WM_PATCH_FINISHED, 0, 0);
}

}  // namespace

unsigned __stdcall PatchThreadProc(void*) {
    TrySelfUpdate();
    SetStatus("Mengecek versi server...", 3);

    char url[1024];
    snprintf(url, sizeof(url), "%sversion.txt", FULL_BASE_URL);
    int length = 0;
    char* serverVersion = HttpFetchText(url, &length);
    if (serverVersion == nullptr || length == 0) {
        free(serverVersion);
        SetStatus("Server offline. Cek koneksi internet.", 100);
        FinishRun();
        return 0;
    }
    CutAtLineBreak(serverVersion);

    char localVersion[kLocalVersionSize];
    ReadLocalVersion(localVersion);
    const bool versionChanged = strcmp(serverVersion, localVersion) != 0;

    SetStatus("Mengecek file game...", 5);
    snprintf(url, sizeof(url), "%smanifest.txt", FULL_BASE_URL);
    length = 0;
    char* manifest = HttpFetchText(url, &length);
    if (manifest == nullptr || length == 0) {
        free(manifest);
        SetStatus("Gagal ambil daftar file.", 100);
        free(serverVersion);
        FinishRun();
        return 0;
    }

    ManifestCounts counts = RunManifestCheck(manifest, versionChanged);
    free(manifest);
    if (counts.failedCount == 0)
        WriteLocalVersion(serverVersion);

    EnsureRuntimeInstalled();

    char message[400];
    FormatFinalMessage(counts.downloadedCount, counts.failedCount, message, sizeof(message));
    SetStatus(message, 100);
    free(serverVersion);
    FinishRun();
    return 0;
}
