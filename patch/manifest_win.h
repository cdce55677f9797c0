// The manifest stage: checks each listed game file and downloads what is missing or wrong.
#pragma once

#include "base/digest.h"

struct ManifestCounts {
    int downloadedCount;
    int failedCount;
    // The digest the manifest lists for the runtime installer, empty when it lists none.
    char installerDigest[kDigestLength + 1];
};

// Checks every manifest entry against the game folder and downloads what is missing or
// wrong. Consumes manifestText (it is cut into lines in place). In a signed release every
// entry must carry a digest, and a download is kept only when it matches it.
ManifestCounts RunManifestCheck(char* manifestText, bool versionChanged, bool signedRelease);
