// The manifest stage: checks each listed game file and downloads what is missing or wrong.
#pragma once

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
