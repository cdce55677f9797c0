// Pure rules of the publishing tool: which names the launcher can fetch and store, the
// manifest line, the version line.
#pragma once

#include <stdint.h>

#include <string>

// Where the launcher is assumed to live when a name's local path length is checked.
constexpr char kAssumedGameDir[] = "C:\\Games\\Skarnevo Kelmoran Heritage 2026\\";

// The launcher compares a version line of at most this many bytes with its state file.
constexpr size_t kVersionLimit = 127;

// Converts a UTF-8 name to the launcher's 8-bit Windows-1252 bytes; false when the text
// is not valid UTF-8 or holds a character that Windows-1252 has no byte for.
bool Utf8ToWindows1252(const std::string& utf8, std::string* out);

// The reason a relative path (Windows-1252 bytes, "/" between parts) cannot be published,
// or the empty text when the launcher can request it and store it in a game folder.
std::string PublishedPathProblem(const std::string& path);

// The launcher's own files in the game folder, which a client tree must never overwrite.
bool IsLauncherOwnFile(const std::string& path);

// A key under which two names that Windows would take for the same file are equal.
std::string FoldCaseWindows1252(const std::string& path);

// Whether a manifest lists the digest of a file of `bytes` bytes, or "big": every digest in a
// signed manifest, else those up to the launcher's hash limit. Publish asks it of the bytes it
// copied, verify of the size listed.
bool ListsDigest(int64_t bytes, bool everyDigest);

// "path|size|digest\n", with "big" in place of a digest that ListsDigest leaves out.
std::string ManifestLine(const std::string& path, int64_t size, const std::string& digest,
                         bool everyDigest);

// The reason a version line cannot be published, or the empty text.
std::string VersionProblem(const std::string& version);

// The next version after a published one: its trailing number plus one ("1.0.9" gives
// "1.0.10"); false when it does not end in a number.
bool BumpVersion(const std::string& version, std::string* out);

// The first line of a version file, as the launcher reads it.
std::string FirstLine(const std::string& text);

// A name made readable for messages: control bytes, and every byte above 127 of a name
// that is not UTF-8, as \xNN.
std::string PrintableName(const std::string& name);
