// Syncing a big file by its chunks: only the byte ranges it lacks are fetched, and the new file
// replaces the old one in one step once every chunk and the whole file match the index.
#pragma once

#include "patch/chunk_index.h"
#include "patch/manifest.h"

enum class SyncResult { Kept, Replaced, Failed };

// Brings the file at localPath to the published one at address, whose index the line names.
// Kept when the old file already is the published file; Failed (logged) leaves it as it was,
// and keeps the part file with the chunks stored so far for the next run.
SyncResult SyncChunkedFile(const ManifestEntry& entry, const ChunkIndexLine& line,
                           const char* address, const char* localPath);
