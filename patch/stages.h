// The patch run and the stages it calls, in the order of a run.
#pragma once

#include <stdint.h>

unsigned __stdcall PatchThreadProc(void* parameter);

// Replaces the running launcher when the share offers a newer build; returns only when it
// did not hand over to the update script.
void TrySelfUpdate();

struct ManifestCounts {
    int downloadedCount;
    int failedCount;
};
// Checks every manifest entry against the game folder and downloads what is missing or
// wrong. Consumes manifestText (it is cut into lines in place).
ManifestCounts RunManifestCheck(char* manifestText, bool versionChanged);

// Writes the file's SHA-1 as 40 lowercase digits into out (41 bytes); false when the file
// cannot be read or the digest service fails.
bool HashFileSha1(const char* localPath, char* out);

// Runs the bundled VC++ x86 runtime installer when the registry shows the runtime missing.
void EnsureRuntimeInstalled();
