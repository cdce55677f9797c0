// One launcher per game folder: the name of the folder's guard, the same for every start
// from that folder and different for another installation.
#pragma once

#include <stddef.h>
#include <stdint.h>

// 64-bit FNV-1a of the folder path with ASCII letters folded, as Windows folds them when it
// compares paths.
uint64_t GameFolderKey(const char* gameDir);

// "Local\SKH2026Patcher-" and the key in 16 hexadecimal digits: a mutex in the session's own
// namespace. out needs kGuardNameSize bytes.
constexpr size_t kGuardNameSize = 64;
void GameFolderGuardName(uint64_t key, char* out);
