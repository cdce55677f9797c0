// The one way to name a file inside the game folder: refused, never cut, when it does not fit.
#pragma once

#include <stddef.h>

// Buffers for Windows paths: MAX_PATH bytes, so at most kLocalPathLimit characters.
constexpr int kPathSize = 260;
constexpr int kLocalPathLimit = kPathSize - 1;

// Writes gameDir + relative into out with every "/" turned into "\". False, with out empty,
// when gameDir is empty or the result would be longer than kLocalPathLimit or outSize - 1:
// a cut name could name another file of the folder, or a folder above it.
bool GameFolderPath(const char* gameDir, const char* relative, char* out, size_t outSize);
