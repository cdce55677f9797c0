// A chunk's fingerprint: a fast 64-bit hash that finds, among the chunks of a local file, those
// the published index lists. It only finds them: what it finds is proven by the whole file's
// SHA-256 once assembled, so a false match costs a failed sync, never a wrong file kept.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Four 32-bit lanes over 16-byte stripes (32-bit arithmetic: as quick in the 32-bit launcher
// as in the 64-bit tool), the bytes of a stripe not yet complete, and the length so far. The
// lanes start from fixed words: changing them changes every published fingerprint.
struct ChunkFingerprinter {
    uint32_t lanes[4] = {0x534B4832u, 0x30323646u, 0x494E4745u, 0x52505249u};
    unsigned char pending[16] = {};
    uint32_t pendingSize = 0;
    uint32_t length = 0;
};

// Takes a chunk's bytes in order, in pieces of any size.
void AddToFingerprint(ChunkFingerprinter* f, const unsigned char* data, size_t size);

// The fingerprint of the bytes so far; the fingerprinter starts again for the next chunk.
uint64_t FinishFingerprint(ChunkFingerprinter* f);
