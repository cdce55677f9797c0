// The batch script that swaps in a downloaded launcher once the running one has ended.
#pragma once

#include <stddef.h>

// The script is exactly kUpdateScriptSize bytes: twelve CR LF lines. The array holds one
// more byte, the literal's terminating zero, which is never written to disk.
constexpr size_t kUpdateScriptSize = 320;
extern const char kUpdateScript[];
