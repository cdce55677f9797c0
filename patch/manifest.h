// Pure rules of the manifest stage: lines, entries, the keep-or-download decision, paths.
#pragma once

#include <stddef.h>

#include "base/digest.h"

constexpr long long kDigestSizeLimit = 50LL << 20;  // inclusive
// The digest field of a file that is checked by its size alone.
constexpr char kBigDigestField[] = "big";
constexpr int kEncodedPathLimit = 2047;
// The status line names the entry being checked on every this many entries.
constexpr int kCheckLineInterval = 8;

// The line total N: line feeds before the first zero byte, plus one for a last line that
// has no line feed; at least 1.
int CountManifestLines(const char* text);

struct ManifestEntry {
    char* path;  // the text before the first "|", unchanged
    long long size;
    char* digest;  // everything after the second "|"
};

// Splits a line in place. False for comments and lines with fewer than two "|".
bool ParseManifestEntry(char* line, ManifestEntry* entry);

// The size field by strtoll rules: leading blanks, a sign, digits; no digits read as 0;
// values beyond the 64-bit range clamp.
long long ParseSizeField(const char* field);

// What the progress bar shows for entry n of N lines. n is capped at N, so a manifest whose
// lines end in bare carriage returns cannot push the bar past 95 during the stage.
int ManifestProgress(int n, int lineTotal);

// True for exactly kDigestLength lowercase hexadecimal digits, the form a computed digest has.
bool IsLowerHexDigest(const char* field);

enum class EntryAction { Keep, Download, Hash, Sync };

// The decision table up to the point where the file would have to be read.
EntryAction DecideEntry(bool exists, bool isDirectory, long long fileSize, long long sizeField,
                        const char* digest, bool versionChanged);

// The decision for an entry whose manifest names a chunk index: synced by its chunks when the
// file is missing, differs in size, or the version changed (which finds a changed file of
// the same size too); else kept.
EntryAction DecideIndexedEntry(bool exists, bool isDirectory, long long fileSize,
                               long long sizeField, bool versionChanged);

// Rows that need the digest: keep when hashing failed or the digests are equal.
EntryAction DecideAfterHash(bool hashed, const char* computedDigest, const char* digestField);

// Paths that could reach outside the game folder, name a device instead of a file, or reach
// the launcher's own files: absolute, with a drive or stream colon, a ".." part, a reserved
// device name (COM1, COM\xB9, NUL.txt), a part of the 8.3 short-name form (DATA~1.PAK), or a
// name at the top of the folder that starts like one of the launcher's own, in any case.
bool IsRefusedPath(const char* path);

// Percent-encodes a path field for the download address; false when the result would be
// longer than kEncodedPathLimit (a cut address must never be requested).
bool EncodeUrlPath(const char* path, char* out, size_t outSize);
