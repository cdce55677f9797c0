// The launcher's own small files in the game folder: the state file, its records, its script.
#pragma once

#include <stddef.h>

// Reads at most outSize - 1 bytes of the named file of the game folder into out, terminated,
// and returns how many. A missing file reads as the empty text; so does one that is there
// but cannot be read, which returns -1.
int ReadGameFile(const char* name, char* out, size_t outSize);

// Writes the named file of the game folder under a temporary name and then puts it in the
// file's place in one step, so that a crash or a full disk leaves the old file whole. False,
// with GetLastError telling why, when it could not be written.
bool WriteGameFile(const char* name, const char* bytes, size_t size);

// Deletes the named file of the game folder, if there is one.
void DeleteGameFile(const char* name);
