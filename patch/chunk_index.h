// The chunk index of a big file and the manifest line that names it: the file's size and
// SHA-256, and each content-defined chunk's offset, length, fingerprint and SHA-256, in file
// order.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "base/digest.h"

// A "#" comment to the manifest reader of launchers that know no chunk index, and covered by
// the signature of a signed release: "#@chunks <SHA-256 of the index> <index path>". It names
// the index of the next entry.
constexpr char kChunksTag[] = "#@chunks ";

// Format 2, all numbers little-endian: "SKHCHIDX", u32 format, u32 minimum, average and
// maximum chunk size, u64 file size, the file's SHA-256, u32 chunk count, then per chunk u32
// length, u64 fingerprint and its SHA-256. A chunk's offset is the sum of the lengths before
// it, so an index cannot describe a gap or an overlap. (Format 1 had no fingerprints.)
constexpr size_t kChunkIndexHeaderSize = 68;
constexpr size_t kChunkRecordSize = 4 + 8 + kSha256Bytes;

struct ChunkRecord {
    int64_t offset;
    uint32_t length;
    unsigned char sha256[kSha256Bytes];
    uint64_t fingerprint;  // patch/chunk_fingerprint.h
};

struct ChunkIndex {
    int64_t fileSize = 0;
    unsigned char fileSha256[kSha256Bytes] = {};
    std::vector<ChunkRecord> chunks;
};

std::string WriteChunkIndex(const ChunkIndex& index);

// Reads an index of `size` bytes from any source. False unless it is format 2 made with this
// build's chunk sizes, holds exactly its records, and its chunks (each 1 to kChunkMaxSize bytes,
// all but the last at least kChunkMinSize) add up to its file size.
bool ReadChunkIndex(const unsigned char* data, size_t size, ChunkIndex* out);

// The largest index an honest publisher writes for a file of fileSize bytes; a fetch of an
// index stops there.
int64_t ChunkIndexSizeLimit(int64_t fileSize);

struct ChunkIndexLine {
    char sha256[kSha256Length + 1];  // lowercase hexadecimal digits
    const char* path;                // into the line, to its end
};

// Reads a "#@chunks" line: the tag, 64 lowercase hexadecimal digits, one blank, a path that is
// not empty. The path is not checked here.
bool ParseChunkIndexLine(const char* line, ChunkIndexLine* out);
