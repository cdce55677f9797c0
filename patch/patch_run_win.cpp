// PatchThreadProc: self-update, version check, manifest stage, state file, final message.
#include "patch/patch_run_win.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "base/game_files_win.h"
#include "base/http_win.h"
#include "base/launcher_state_win.h"
#include "base/own_files.h"
#include "base/player_texts.h"
#include "base/run_log_win.h"
#include "base/server_files.h"
#include "base/server_urls.h"
#include "base/status_win.h"
#include "patch/manifest_win.h"
#include "patch/patch_run.h"
#include "patch/release_check_win.h"
#include "patch/release_key.h"
#include "patch/runtime_win.h"
#include "patch/self_update_win.h"
#include "patch/stage_progress.h"

namespace {

constexpr int kFinalMessageSize = 400;

// The highest signed release this folder took with this launcher's key: 0 when it took none.
// False when the record is there but cannot be read: no release is taken then, as one read as
// 0 would let an older release back in.
bool AcceptedSequence(long long* accepted) {
    char text[kSequenceRecordLimit + 2];  // one byte more shows a record that is too long
    const int length = ReadGameFile(kSequenceFileName, text, sizeof(text));
    const SequenceRecord record = length < 0 ? SequenceRecord::Unreadable
                                             : ReadSequenceRecord(text, static_cast<size_t>(length),
                                                                  kReleaseKeyFingerprint, accepted);
    if (record == SequenceRecord::None)
        *accepted = 0;
    if (record != SequenceRecord::Unreadable)
        return true;
    LogProblem("%s cannot be read: no signed release is taken until it is deleted",
               kSequenceFileName);
    return false;
}

// A signed release is taken only whole: its signature checks out, its version line is the
// one the server serves, and it is not older than one this folder already took with this
// key. The signature line is cut off the manifest text afterwards. *recorded is false when
// the release was taken but the sequence record could not be written.
bool AcceptSignedRelease(FetchedText* manifest, const char* serverVersion, bool* recorded) {
    SignedManifest release;
    if (!ReadSignedManifest(manifest->text, manifest->length, &release)) {
        LogProblem("manifest is not a signed release");
        return false;
    }
    if (!VerifyReleaseSignature(release.signature, manifest->text, release.signedLength)) {
        LogProblem("manifest signature does not match this launcher's release key");
        return false;
    }
    if (release.versionLength != strlen(serverVersion) ||
        memcmp(release.version, serverVersion, release.versionLength) != 0) {
        LogProblem("version line \"%.100s\" is not the signed one", serverVersion);
        return false;
    }
    long long accepted = 0;
    if (!AcceptedSequence(&accepted))
        return false;
    if (release.sequence < accepted) {
        LogProblem("signed release %lld is older than release %lld, already taken",
                   release.sequence, accepted);
        return false;
    }
    char record[kSequenceRecordLimit + 1];
    *recorded =
        WriteGameFile(kSequenceFileName, record,
                      WriteSequenceRecord(kReleaseKeyFingerprint, release.sequence, record));
    if (!*recorded) {
        LogProblem("%s not written (error %lu): the version is not recorded", kSequenceFileName,
                   GetLastError());
    }
    manifest->text[release.signedLength] = '\0';
    return true;
}

// A body of zero bytes counts as nothing received, as a failed fetch does.
FetchedText FetchFullTreeFile(const char* name, size_t limit) {
    char url[kControlAddressSize];
    snprintf(url, sizeof(url), "%s%s", kFullBaseUrl, name);
    FetchedText text = HttpFetchText(url, limit);
    if (text.text != nullptr && text.length == 0)
        LogProblem("GET %s: empty body", url);
    return text;
}

// The flag goes out before the message, so the repaint it causes shows the ready face.
unsigned FinishRun(const char* message) {
    SetStatus(message, kFinishedPercent);
    LogProblem("%s%s", kRunLogFinalStatus, message);
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
    FetchedText serverVersion = FetchFullTreeFile(kVersionFileName, kVersionTextLimit);
    if (serverVersion.IsEmpty())
        return FinishRun(kStatusOffline);
    CutAtLineBreak(serverVersion.text);

    char localVersion[kLocalVersionSize];
    ReadGameFile(kStateFileName, localVersion, sizeof(localVersion));
    CutAtLineBreak(localVersion);
    const bool versionChanged = strcmp(serverVersion.text, localVersion) != 0;

    SetStatus(kStatusManifestFetch, kManifestStartPercent);
    FetchedText manifest = FetchFullTreeFile(kManifestFileName, kManifestTextLimit);
    // A release the launcher's key does not vouch for is treated as no manifest at all:
    // nothing is downloaded, written or recorded.
    const bool signedRelease = ReleasesAreSigned();
    bool recorded = true;
    if (manifest.IsEmpty() ||
        (signedRelease && !AcceptSignedRelease(&manifest, serverVersion.text, &recorded)))
        return FinishRun(kStatusManifestFailed);

    ManifestCounts counts = RunManifestCheck(manifest.text, versionChanged, signedRelease);
    // A release this folder could not record counts as a failed file: the version stays
    // unrecorded, so the next start takes the release again and checks every digest.
    if (!recorded)
        ++counts.failedCount;
    if (counts.failedCount == 0)
        WriteGameFile(kStateFileName, serverVersion.text, strlen(serverVersion.text));

    EnsureRuntimeInstalled(signedRelease ? counts.installerDigest : nullptr);

    char message[kFinalMessageSize];
    FormatFinalMessage(counts.downloadedCount, counts.failedCount, message, sizeof(message));
    return FinishRun(message);
}
