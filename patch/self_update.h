// Pure half of the self-update: the share's build number and the script that swaps builds.
#pragma once

#include <stddef.h>

// Reads text as atoi does: leading white space, an optional sign, then decimal digits up
// to the first other character; no digits give 0. A number beyond the 32-bit range is
// clamped to INT_MAX or INT_MIN, so a hostile file cannot provoke undefined behaviour.
int ParseBuildNumber(const char* text);

// How much of a downloaded launcher's start IsCompletePe reads: its headers and section
// table lie far inside it.
constexpr size_t kPeHeadReadSize = 64 << 10;

// True when head, the first headLength bytes of a file of fileSize bytes, holds consistent PE
// headers: "MZ", the "PE\0\0" signature at the offset the DOS header names, at least one
// section, the section table inside head, and every section's raw data inside the file. An
// error page, an empty body or an executable cut short all fail.
bool IsCompletePe(const unsigned char* head, size_t headLength, long long fileSize);

// Room for the update script with a tools folder of up to 259 characters named four times.
constexpr size_t kUpdateScriptSize = 2048;

// Writes the update script into out and returns its length: twelve CR LF lines that wait while
// the launcher process processId runs, move the new build over the launcher, start it and
// delete themselves. The script's working folder is the game folder, so the system's programs
// run from toolsFolder by full path. 0 when the script does not fit outSize, or the folder
// holds a "%" (which the script would expand) or a byte above 127 (which it would read as
// UTF-8 once it has switched to code page 65001).
size_t WriteUpdateScript(const char* toolsFolder, unsigned long processId, char* out,
                         size_t outSize);
