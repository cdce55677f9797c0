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
#include "base/run_log_win.h"
#include "base/server_files.h"
#include "base/server_urls.h"
#include "base/status_win.h"
#include "base/stdio_file.h"
#include "build_config.h"
#include "patch/self_update.h"
#include "patch/stage_progress.h"

namespace {

// Room for a build number in decimal, sign and terminator included.
constexpr int kBuildTextSize = 16;
constexpr INT_PTR kShellExecuteFailureLimit = 32;

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

// The whole file or nothing: a script or record cut short by a full disk is deleted.
bool WriteWholeFile(const char* path, const char* bytes, size_t size) {
    StdioFile file(fopen(path, "wb"));
    if (file.file == nullptr)
        return false;
    const bool written = fwrite(bytes, 1, size, file.file) == size;
    if (file.Close() && written)
        return true;
    DeleteFileA(path);
    return false;
}

// The build this folder last handed over to, or 0 without a record.
int ReadHandoverRecord(const char* path) {
    char text[kBuildTextSize] = {};
    StdioFile file(fopen(path, "rb"));
    if (file.file == nullptr)
        return 0;
    fread(text, 1, sizeof(text) - 1, file.file);
    return ParseBuildNumber(text);
}

bool WriteHandoverRecord(const char* path, int build) {
    char text[kBuildTextSize];
    int length = snprintf(text, sizeof(text), "%d", build);
    return WriteWholeFile(path, text, static_cast<size_t>(length));
}

struct UpdatePaths {
    char newLauncher[kPathSize];
    char script[kPathSize];
    char record[kPathSize];
};

bool MakeUpdatePaths(UpdatePaths* paths) {
    return GameFolderPath(gState.gameDir, kNewLauncherFileName, paths->newLauncher,
                          sizeof(paths->newLauncher)) &&
           GameFolderPath(gState.gameDir, kUpdateScriptFileName, paths->script,
                          sizeof(paths->script)) &&
           GameFolderPath(gState.gameDir, kHandoverFileName, paths->record, sizeof(paths->record));
}

// Downloads and checks the new launcher, writes the script and the record, and starts the
// script. False when any step failed; everything written for the update is deleted then, so
// the next start tries again.
bool StartHandover(const UpdatePaths& paths, int offered) {
    DeleteFileA(paths.newLauncher);
    char url[kControlAddressSize];
    snprintf(url, sizeof(url), "%s%s", SHARE_BASE_URL, kLauncherFileName);
    if (!HttpDownloadFile(url, paths.newLauncher, -1)) {
        DeleteFileA(paths.newLauncher);
        return false;
    }
    if (!LooksLikeLauncher(paths.newLauncher)) {
        LogProblem("GET %s: not a Windows program", url);
        DeleteFileA(paths.newLauncher);
        return false;
    }
    // The record goes down first: a new launcher that turns out to be this same build must
    // find it, or it would hand over again, on every start.
    if (!WriteWholeFile(paths.script, kUpdateScript, kUpdateScriptSize) ||
        !WriteHandoverRecord(paths.record, offered)) {
        LogProblem("cannot write %s or %s (error %lu)", paths.script, paths.record,
                   GetLastError());
        DeleteFileA(paths.script);
        DeleteFileA(paths.newLauncher);
        return false;
    }
    // ShellExecuteA reports a failure as a value of 32 or less.
    INT_PTR started = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", paths.script, nullptr, gState.gameDir, SW_HIDE));
    if (started > kShellExecuteFailureLimit)
        return true;
    LogProblem("cannot start %s (ShellExecute %d)", paths.script, static_cast<int>(started));
    DeleteFileA(paths.script);
    DeleteFileA(paths.newLauncher);
    DeleteFileA(paths.record);
    return false;
}

}  // namespace

void TrySelfUpdate() {
    UpdatePaths paths;
    if (!MakeUpdatePaths(&paths))
        return;
    const int offered = FetchNewestBuild();
    const int handedOverTo = ReadHandoverRecord(paths.record);
    if (handedOverTo != 0 && handedOverTo <= LAUNCHER_BUILD)
        DeleteFileA(paths.record);
    if (offered <= LAUNCHER_BUILD)
        return;
    // The last hand-over was to this offer and this is still the old build: the share's
    // launcher is not newer than its number says. Updating again would loop forever.
    if (handedOverTo == offered) {
        LogProblem("launcher update to build %d did not take: this is build %d", offered,
                   LAUNCHER_BUILD);
        SetStatus(kStatusSelfUpdateFailed, kSelfUpdatePercent);
        return;
    }
    SetStatus(kStatusSelfUpdate, kSelfUpdatePercent);
    if (!StartHandover(paths, offered))
        return;
    // The script waits for this process to end before it touches the launcher file, so
    // the process ends at once, the other workers and the window with it.
    ExitProcess(0);
}
