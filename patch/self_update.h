// Pure half of the self-update: the share's build number and the script that swaps builds.
#pragma once

#include <stddef.h>

// Reads text as atoi does: leading white space, an optional sign, then decimal digits up
// to the first other character; no digits give 0. A number beyond the 32-bit range is
// clamped to INT_MAX or INT_MIN, so a hostile file cannot provoke undefined behaviour.
int ParseBuildNumber(const char* text);

// Anything shorter cannot hold a PE header; error pages and empty bodies end here.
constexpr long long kMinLauncherSize = 64;

// The script is exactly kUpdateScriptSize bytes: twelve CR LF lines. The array holds one
// more byte, the literal's terminating zero, which is never written to disk.
constexpr size_t kUpdateScriptSize = 320;
extern const char kUpdateScript[];
