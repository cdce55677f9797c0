// Planning a chunk sync: which chunks of the published file are found on disk (in the old
// file, or already in place in the file being assembled), and which byte ranges to fetch.
#pragma once

#include <stdint.h>

#include <vector>

#include "patch/chunk_index.h"

enum class ChunkSourceKind : uint8_t { None, OldFile, InPlace };

// Where a chunk's bytes can be taken from without fetching them.
struct ChunkSource {
    ChunkSourceKind kind = ChunkSourceKind::None;
    int64_t offset = 0;
};

// The index's chunk numbers sorted by fingerprint, for NoteFoundChunk.
std::vector<uint32_t> SortChunksByFingerprint(const ChunkIndex& index);

// A chunk of `length` bytes with this fingerprint was found at `offset`: every chunk of the
// index with that fingerprint and length and no source yet takes it, or, for InPlace (the
// partly assembled file of an earlier run), only the chunk that stands at that very offset.
// Returns how many.
int NoteFoundChunk(const ChunkIndex& index, const std::vector<uint32_t>& byFingerprint,
                   uint64_t fingerprint, uint32_t length, int64_t offset, ChunkSourceKind kind,
                   std::vector<ChunkSource>* sources);

enum class SyncStepKind : uint8_t { Copy, Keep, Fetch };

// One step of the assembly, in file order: copy from the old file, keep what is in place, or
// fetch a byte range of the published file. Adjacent chunks of one kind (and, for copies,
// adjacent in the old file too) make one step.
struct SyncStep {
    SyncStepKind kind;
    uint32_t firstChunk;
    uint32_t chunkCount;
    int64_t offset;        // in the published file
    int64_t sourceOffset;  // in the old file, for Copy
    int64_t length;
};

// The step that starts at chunk first. A chunk without a source is fetched only below
// decided: beyond it a scan still under way may yet find it. A chunk with a source is final.
SyncStep NextSyncStep(const ChunkIndex& index, const std::vector<ChunkSource>& sources,
                      uint32_t first, uint32_t decided);

// Every step, once every chunk's source is known.
std::vector<SyncStep> PlanChunkSync(const ChunkIndex& index,
                                    const std::vector<ChunkSource>& sources);

// The bytes the plan fetches.
int64_t BytesToFetch(const std::vector<SyncStep>& plan);
