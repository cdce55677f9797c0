// TrySelfUpdate: replaces the running launcher when the share offers a newer build.
#include "patch/self_update_win.h"

#include <windows.h>
#include <shellapi.h>
#include <stdio.h>

#include "base/game_path.h"
#include "base/handle_guards_win.h"
#include "base/http_win.h"
#include "base/launcher_state_win.h"
#include "base/own_files.h"
#include "base/path_facts_win.h"
#include "base/player_texts.h"
#include "base/server_files.h"
#include "base/server_urls.h"
#include "base/status_win.h"
#include "base/stdio_file.h"
#include "build_config.h"
#include "patch/self_update.h"
#include "patch/stage_progress.h"

namespace {

// The share's announced build, or 0 when it cannot be fetched.
int FetchNewestBuild() {
    char url[kControlAddressSize];
    snprintf(url, sizeof(url), "%s%s", SHARE_BASE_URL, kBuildNumberFileName);
    FetchedText text = HttpFetchText(url);
    return text.text == nullptr ? 0 : ParseBuildNumber(text.text);
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
    StdioFile script(fopen(path, "wb"));
    if (script.file == nullptr)
        return false;
    fwrite(kUpdateScript, 1, kUpdateScriptSize, script.file);
    return true;
}

}  // namespace

void TrySelfUpdate() {
    if (FetchNewestBuild() <= LAUNCHER_BUILD)
        return;
    SetStatus(kStatusSelfUpdate, kSelfUpdatePercent);

    char newLauncher[kPathSize];
    char script[kPathSize];
    if (!GameFolderPath(gState.gameDir, kNewLauncherFileName, newLauncher, sizeof(newLauncher)) ||
        !GameFolderPath(gState.gameDir, kUpdateScriptFileName, script, sizeof(script))) {
        return;
    }
    DeleteFileA(newLauncher);
    char url[kControlAddressSize];
    snprintf(url, sizeof(url), "%s%s", SHARE_BASE_URL, kLauncherFileName);
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
