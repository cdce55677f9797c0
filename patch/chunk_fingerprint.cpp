// Chunk fingerprints: four multiply-rotate lanes, mixed into two 32-bit halves at the end.
#include "patch/chunk_fingerprint.h"

#include <string.h>

namespace {

constexpr uint32_t kPrime1 = 0x9E3779B1u;
constexpr uint32_t kPrime2 = 0x85EBCA77u;
constexpr uint32_t kPrime3 = 0xC2B2AE3Du;

uint32_t RotateLeft(uint32_t value, int bits) {
    return (value << bits) | (value >> (32 - bits));
}

// Little-endian on every machine, so the tool and the launcher agree.
uint32_t LoadWord(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// For a fixed word a bijection of the lane, and for a fixed lane one of the word: two inputs
// that differ in one word always leave different lanes.
uint32_t Round(uint32_t lane, uint32_t word) {
    return RotateLeft(lane + word * kPrime2, 13) * kPrime1;
}

void AddStripe(uint32_t* lanes, const unsigned char* stripe) {
    for (int i = 0; i < 4; ++i)
        lanes[i] = Round(lanes[i], LoadWord(stripe + 4 * i));
}

uint32_t Avalanche(uint32_t h) {
    h ^= h >> 15;
    h *= kPrime2;
    h ^= h >> 13;
    h *= kPrime3;
    h ^= h >> 16;
    return h;
}

}  // namespace

void AddToFingerprint(ChunkFingerprinter* f, const unsigned char* data, size_t size) {
    f->length += static_cast<uint32_t>(size);
    if (f->pendingSize > 0) {
        const size_t take = size < 16 - f->pendingSize ? size : 16 - f->pendingSize;
        memcpy(f->pending + f->pendingSize, data, take);
        f->pendingSize += static_cast<uint32_t>(take);
        data += take;
        size -= take;
        if (f->pendingSize < 16)
            return;
        AddStripe(f->lanes, f->pending);
        f->pendingSize = 0;
    }
    for (; size >= 16; data += 16, size -= 16)
        AddStripe(f->lanes, data);
    memcpy(f->pending, data, size);
    f->pendingSize = static_cast<uint32_t>(size);
}

uint64_t FinishFingerprint(ChunkFingerprinter* f) {
    // The last stripe is padded with zeros; the length tells the padding from data.
    if (f->pendingSize > 0) {
        memset(f->pending + f->pendingSize, 0, 16 - f->pendingSize);
        AddStripe(f->lanes, f->pending);
    }
    const uint32_t* l = f->lanes;
    // A difference in one lane always changes the sum; both halves see every lane.
    const uint32_t high = Avalanche(RotateLeft(l[0], 1) + RotateLeft(l[1], 7) +
                                    RotateLeft(l[2], 12) + RotateLeft(l[3], 18) + f->length);
    const uint32_t low = Avalanche(l[0] ^ RotateLeft(l[1], 11) ^ RotateLeft(l[2], 19) ^
                                   RotateLeft(l[3], 27) ^ (f->length * kPrime3));
    *f = ChunkFingerprinter();
    return static_cast<uint64_t>(high) << 32 | low;
}
