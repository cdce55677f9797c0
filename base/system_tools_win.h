// Where the update script finds the system's own programs (tasklist, find, ping, chcp).
// The launcher's is Windows's system folder (base/system_tools_win.cpp); the test build links
// tests/seams/ instead, which can point the script at stand-ins.
#pragma once

#include <stddef.h>

// Writes the folder, without a trailing backslash, into out; false when it does not fit.
bool SystemToolsFolder(char* out, size_t outSize);
