// TrySelfUpdate: replaces the running launcher when the share offers a newer build.
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>

#include "app/handle_guards_win.h"
#include "app/launcher_state.h"
#include "build_config.h"
#include "patch/build_number.h"
#include "patch/http.h"
#include "patch/server_urls.h"
#include "patch/stages.h"
#include "patch/update_script.h"

namespace {

constexpr char kNewLauncherName[] = "SKH2026_Patcher.new.exe";
constexpr char kScriptName[] = "_skh_update.bat";
// Anything shorter cannot hold a PE header; error pages and empty bodies end here.
constexpr long long kMinLauncherSize = 64;

// False when the path does not fit: a cut name could point at some other file of the folder.
bool GameDirPath(const char* name, char* out) {
    int length = snprintf(out, kPathSize, "%s%s", gState.gameDir, name);
    return length >= 0 && length < kPathSize;
}

// The share's announced build, or 0 when it cannot be fetched.
int FetchNewestBuild() {
    char url[1024];
    snprintf(url, sizeof(url), "%spatcher_version.txt", SHARE_BASE_URL);
    int length = 0;
    char* text = HttpFetchText(url, &length);
    if (text == nullptr)
        return 0;
    int build = ParseBuildNumber(text);
    free(text);
    return build;
}

// Only a file that starts like a Windows executable may replace the launcher.
bool LooksLikeLauncher(const char* path) {
    PathFacts facts = QueryPathFacts(path);
    if (!facts.exists || facts.isDirectory || facts.size < kMinLauncherSize)
        return false;
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen())
        return false;
    char head[2];
    DWORD got = 0;
    if (!ReadFile(file.handle, head, sizeof(head), &got, nullptr) || got != sizeof(head))
        return false;
    return head[0] == 'M' && head[1] == 'Z';
}

bool WriteUpdateScript(const char* path) {
    FILE* script = fopen(path, "wb");
    if (script == nullptr)
        return false;
    fwrite(kUpdateScript, 1, kUpdateScriptSize, script);
    fclose(script);
    return true;
}

}  // namespace

void TrySelfUpdate() {
    if (FetchNewestBuild() <= LAUNCHER_BUILD)
        return;
    SetStatus("Memperbarui launcher...", 4);

    char newLauncher[kPathSize];
    char script[kPathSize];
    if (!GameDirPath(kNewLauncherName, newLauncher) || !GameDirPath(kScriptName, script))
        return;
    DeleteFileA(newLauncher);
    char url[1024];
    snprintf(url, sizeof(url), "%sSKH2026_Patcher.exe", SHARE_BASE_URL);
    if (!HttpDownloadFile(url, newLauncher, -1) || !LooksLikeLauncher(newLauncher) ||
        !WriteUpdateScript(script)) {
        DeleteFileA(newLauncher);
        return;
    }

    // The script waits for this process to end before it touches the launcher file, so
    // the process ends at once, the other workers and the window with it.
    ShellExecuteA(nullptr, "open", script, nullptr, gState.gameDir, SW_HIDE);
    ExitProcess(0);
}
