// The launcher's own small files in the game folder: the state file, its records, its script.
#pragma once

#include <stddef.h>

// Reads at most outSize - 1 bytes of the named file of the game folder into out, terminated.
// A missing or unreadable file reads as the empty text.
void ReadGameFile(const char* name, char* out, size_t outSize);

// Writes the named file of the game folder whole, or deletes it: a file cut short by a full
// disk never stays behind. False when it could not be written.
bool WriteGameFile(const char* name, const char* bytes, size_t size);

// Deletes the named file of the game folder, if there is one.
void DeleteGameFile(const char* name);
