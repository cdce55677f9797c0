// The manifest stage: checks each listed game file and downloads what is missing or wrong.
#include "patch/manifest_win.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "base/game_path.h"
#include "base/http_win.h"
#include "base/launcher_state_win.h"
#include "base/own_files.h"
#include "base/path_facts_win.h"
#include "base/player_texts.h"
#include "base/run_log_win.h"
#include "base/server_urls.h"
#include "base/hash_win.h"
#include "base/status_win.h"
#include "base/text_lines.h"
#include "patch/chunk_index.h"
#include "patch/chunk_sync_win.h"
#include "patch/manifest.h"

namespace {

// A status line naming a path of up to 259 characters, with room for the words around it.
constexpr int kMessageSize = 400;
// The longest encoded path (kEncodedPathLimit) after a patch root of a few hundred
// characters; a longer address is refused, never cut.
constexpr int kAddressSize = 2400;

// Creates every folder between the game folder and the file, outermost first. Failures
// are left to the download, which then cannot create its file.
void CreateParentDirectories(const char* localPath) {
    char scratch[kPathSize];
    snprintf(scratch, sizeof(scratch), "%s", localPath);
    for (char* p = scratch + strlen(gState.gameDir); *p != '\0'; ++p) {
        if (*p != '\\')
            continue;
        *p = '\0';
        CreateDirectoryA(scratch, nullptr);
        *p = '\\';
    }
}

// Fetches the file whole, or, when the manifest names its chunk index, only the chunks the
// game folder lacks. A whole file with a digest listed is kept only when it matches, signed
// release or not: a body corrupted on the way is a failed file, not a new one.
SyncResult DownloadEntry(const ManifestEntry& entry, const ChunkIndexLine* chunks,
                         const char* encoded, const char* localPath, int percent) {
    char message[kMessageSize];
    snprintf(message, sizeof(message), kStatusDownloadingFormat, entry.path);
    SetStatus(message, percent);

    char address[kAddressSize];
    int length = snprintf(address, sizeof(address), "%s%s", kFullBaseUrl, encoded);
    if (length < 0 || length >= static_cast<int>(sizeof(address))) {
        LogProblem("address of %.300s too long", entry.path);
        return SyncResult::Failed;
    }

    CreateParentDirectories(localPath);
    if (chunks != nullptr)
        return SyncChunkedFile(entry, *chunks, address, localPath);
    return HttpDownloadFile(address, localPath, entry.size,
                            IsLowerHexDigest(entry.digest) ? entry.digest : nullptr)
               ? SyncResult::Replaced
               : SyncResult::Failed;
}

}  // namespace

ManifestCounts RunManifestCheck(char* manifestText, bool versionChanged, bool signedRelease) {
    const int lineTotal = CountManifestLines(manifestText);
    ManifestCounts counts = {0, 0, ""};
    char installerPath[kPathSize];
    GameFolderPath(gState.gameDir, kRuntimeInstallerPath, installerPath, sizeof(installerPath));
    int n = 0;
    char message[kMessageSize];
    char localPath[kPathSize];
    char computed[kDigestLength + 1];
    char encoded[kEncodedPathLimit + 1];

    char* cursor = manifestText;
    ChunkIndexLine chunks;
    bool chunksNamed = false;  // by the line just before the entry
    while (char* line = NextLine(&cursor)) {
        ManifestEntry entry;
        if (!ParseManifestEntry(line, &entry)) {
            chunksNamed = ParseChunkIndexLine(line, &chunks);
            continue;
        }
        const bool indexed = chunksNamed;
        chunksNamed = false;
        ++n;
        const int percent = ManifestProgress(n, lineTotal);
        if (n % kCheckLineInterval == 0) {
            snprintf(message, sizeof(message), kStatusCheckingFormat, n, lineTotal);
            SetStatus(message, percent);
        }
        // An entry that could reach outside the game folder, or whose name or address
        // would be cut, is never touched on disk nor requested: it only counts as failed.
        if (IsRefusedPath(entry.path) ||
            !GameFolderPath(gState.gameDir, entry.path, localPath, sizeof(localPath)) ||
            !EncodeUrlPath(entry.path, encoded, sizeof(encoded))) {
            LogProblem("manifest entry %d refused: %.300s", n, entry.path);
            ++counts.failedCount;
            continue;
        }
        if (signedRelease && !IsLowerHexDigest(entry.digest)) {
            LogProblem("manifest entry %d has no digest to check: %.300s", n, entry.path);
            ++counts.failedCount;
            continue;
        }
        if (_stricmp(localPath, installerPath) == 0)
            snprintf(counts.installerDigest, sizeof(counts.installerDigest), "%s", entry.digest);

        PathFacts facts = QueryPathFacts(localPath);
        EntryAction action = indexed ? DecideIndexedEntry(facts.exists, facts.isDirectory,
                                                          facts.size, entry.size, versionChanged)
                                     : DecideEntry(facts.exists, facts.isDirectory, facts.size,
                                                   entry.size, entry.digest, versionChanged);
        if (action == EntryAction::Hash) {
            bool hashed = HashFileSha1(localPath, computed);
            action = DecideAfterHash(hashed, computed, entry.digest);
        }
        if (action != EntryAction::Download && action != EntryAction::Sync)
            continue;
        const SyncResult result =
            DownloadEntry(entry, indexed ? &chunks : nullptr, encoded, localPath, percent);
        counts.downloadedCount += result == SyncResult::Replaced ? 1 : 0;
        counts.failedCount += result == SyncResult::Failed ? 1 : 0;
    }
    return counts;
}
