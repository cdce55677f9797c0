// TrySelfUpdate: replaces the running launcher when the share offers a newer build.
#include "patch/self_update_win.h"

#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include <memory>

#include "base/game_files_win.h"
#include "base/game_path.h"
#include "base/handle_guards_win.h"
#include "base/hash_win.h"
#include "base/http_win.h"
#include "base/launcher_state_win.h"
#include "base/own_files.h"
#include "base/player_texts.h"
#include "base/run_log_win.h"
#include "base/server_files.h"
#include "base/server_urls.h"
#include "base/shell_start_win.h"
#include "base/status_win.h"
#include "base/system_tools_win.h"
#include "build_config.h"
#include "patch/release_check_win.h"
#include "patch/self_update.h"
#include "patch/stage_progress.h"

namespace {

// Room for a build number in decimal, sign and terminator included.
constexpr int kBuildTextSize = 16;

// What the share offers: a build number, and in a signed release the signed size and digest
// of the launcher's bytes.
struct Offer {
    int build = 0;
    bool isSigned = false;
    LauncherOffer signedOffer;
};

// No offer (build 0) when the share cannot be reached, or, for a launcher with a release
// key, when the offer is not signed.
Offer FetchOffer() {
    Offer offer;
    char url[kControlAddressSize];
    snprintf(url, sizeof(url), "%s%s", kShareBaseUrl, kBuildNumberFileName);
    FetchedText text = HttpFetchText(url, kBuildNumberTextLimit);
    if (text.text == nullptr)
        return offer;
    if (!ReleasesAreSigned()) {
        offer.build = ParseBuildNumber(text.text);
    } else if (!ReadLauncherOffer(text.text, text.length, &offer.signedOffer) ||
               !VerifyReleaseSignature(offer.signedOffer.signature, offer.signedOffer.message,
                                       offer.signedOffer.messageLength)) {
        LogProblem("GET %s: the launcher offer is not signed", url);
    } else if (offer.signedOffer.size > kUnlistedBodyLimit) {
        LogProblem("GET %s: the offered launcher of %lld bytes is above the %lld allowed", url,
                   offer.signedOffer.size, static_cast<long long>(kUnlistedBodyLimit));
    } else {
        offer.build = offer.signedOffer.build;
        offer.isSigned = true;
    }
    return offer;
}

// Only a whole Windows executable may replace the launcher: a body cut short where no length
// was announced would leave the player a launcher that never starts again.
bool IsCompleteLauncher(const char* path) {
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file.IsOpen() || !GetFileSizeEx(file.handle, &size))
        return false;
    std::unique_ptr<unsigned char[]> head(new unsigned char[kPeHeadReadSize]);
    DWORD got = 0;
    return ReadFile(file.handle, head.get(), kPeHeadReadSize, &got, nullptr) &&
           IsCompletePe(head.get(), got, size.QuadPart);
}

// In a signed release the file must be the one the signed offer names, byte for byte.
bool IsOfferedLauncher(const Offer& offer, const char* path) {
    if (!IsCompleteLauncher(path))
        return false;
    char digest[kSha256Length + 1];
    return !offer.isSigned ||
           (HashFileSha256(path, digest) && strcmp(digest, offer.signedOffer.sha256) == 0);
}

// The build this folder last handed over to, or 0 without a record.
int HandedOverTo() {
    char text[kBuildTextSize];
    ReadGameFile(kHandoverFileName, text, sizeof(text));
    return ParseBuildNumber(text);
}

void DeleteUpdateFiles() {
    DeleteGameFile(kNewLauncherFileName);
    DeleteGameFile(kUpdateScriptFileName);
    DeleteGameFile(kHandoverFileName);
}

// Downloads and checks the new launcher, writes the script and the record, and starts the
// script. False when any step failed; everything written for the update is deleted then, so
// the next start tries again.
bool StartHandover(const Offer& offer) {
    char newLauncher[kPathSize];
    char script[kPathSize];
    if (!GameFolderPath(gState.gameDir, kNewLauncherFileName, newLauncher, sizeof(newLauncher)) ||
        !GameFolderPath(gState.gameDir, kUpdateScriptFileName, script, sizeof(script))) {
        return false;
    }
    DeleteFileA(newLauncher);
    char url[kControlAddressSize];
    snprintf(url, sizeof(url), "%s%s", kShareBaseUrl, kLauncherFileName);
    if (!HttpDownloadFile(url, newLauncher, offer.isSigned ? offer.signedOffer.size : -1)) {
        DeleteFileA(newLauncher);
        return false;
    }
    if (!IsOfferedLauncher(offer, newLauncher)) {
        LogProblem("GET %s: not the offered launcher build %d", url, offer.build);
        DeleteFileA(newLauncher);
        return false;
    }
    // The record goes down with the script: a new launcher that turns out to be this same
    // build must find it, or it would hand over again, on every start.
    char record[kBuildTextSize];
    int length = snprintf(record, sizeof(record), "%d", offer.build);
    char tools[kPathSize];
    char scriptText[kUpdateScriptSize];
    const size_t scriptLength =
        SystemToolsFolder(tools, sizeof(tools))
            ? WriteUpdateScript(tools, GetCurrentProcessId(), scriptText, sizeof(scriptText))
            : 0;
    if (scriptLength == 0 || !WriteGameFile(kUpdateScriptFileName, scriptText, scriptLength) ||
        !WriteGameFile(kHandoverFileName, record, static_cast<size_t>(length))) {
        LogProblem("cannot write %s (error %lu)", script, GetLastError());
        DeleteUpdateFiles();
        return false;
    }
    INT_PTR started = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", script, nullptr, gState.gameDir, SW_HIDE));
    if (started > kShellExecuteFailureLimit)
        return true;
    LogProblem("cannot start %s (ShellExecute %d)", script, static_cast<int>(started));
    DeleteUpdateFiles();
    return false;
}

}  // namespace

void TrySelfUpdate() {
    const Offer offer = FetchOffer();
    const int handedOverTo = HandedOverTo();
    if (handedOverTo != 0 && handedOverTo <= LAUNCHER_BUILD)
        DeleteGameFile(kHandoverFileName);
    if (offer.build <= LAUNCHER_BUILD)
        return;
    // The last hand-over was to this offer and this is still the old build: the share's
    // launcher is not newer than its number says. Updating again would loop forever.
    if (handedOverTo == offer.build) {
        LogProblem("launcher update to build %d did not take: this is build %d", offer.build,
                   LAUNCHER_BUILD);
        SetStatus(kStatusSelfUpdateFailed, kSelfUpdatePercent);
        return;
    }
    SetStatus(kStatusSelfUpdate, kSelfUpdatePercent);
    if (!StartHandover(offer))
        return;
    // The script waits for this process to end before it touches the launcher file, so
    // the process ends at once, the other workers and the window with it.
    ExitProcess(0);
}
