// Content-defined chunk boundaries: a gear hash (FastCDC's) with normalised chunk sizes.
#include "patch/chunker.h"

namespace {

// Below the average size a cut needs 18 zero bits, above it 14: chunk sizes gather near the
// average instead of spreading out geometrically.
constexpr uint32_t kMaskBeforeAverage = 0xFFFFC000u;
constexpr uint32_t kMaskAfterAverage = 0xFFFC0000u;

struct GearTable {
    uint32_t values[256];
};

// 256 fixed pseudo-random words (splitmix64 from a fixed seed). Boundaries depend on every one
// of them: changing the seed or the mixer makes every published index useless.
constexpr GearTable MakeGearTable() {
    GearTable table = {};
    uint64_t state = 0x534B483230323647ull;
    for (uint32_t& value : table.values) {
        state += 0x9E3779B97F4A7C15ull;
        uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        value = static_cast<uint32_t>(z >> 32);
    }
    return table;
}

constexpr GearTable kGear = MakeGearTable();

// Each word doubled, for two steps of the hash at once: (h << 2) + 2 g[a] + g[b]. The chain of
// dependent operations per byte, which bounds the cut's speed, is half as long.
constexpr GearTable MakeDoubledTable() {
    GearTable table = {};
    for (int i = 0; i < 256; ++i)
        table.values[i] = kGear.values[i] << 1;
    return table;
}

constexpr GearTable kGearDoubled = MakeDoubledTable();

size_t EndChunk(ChunkCutter* cutter, bool* cut, size_t end) {
    *cut = true;
    cutter->length = 0;
    cutter->hash = 0;
    return end;
}

}  // namespace

size_t FindChunkEnd(ChunkCutter* cutter, const unsigned char* data, size_t size, bool* cut) {
    *cut = false;
    uint32_t length = cutter->length;
    uint32_t hash = cutter->hash;
    size_t i = 0;
    // No chunk ends within its first kChunkMinSize bytes, so they are not even hashed.
    if (length < kChunkMinSize) {
        const size_t skip = size < kChunkMinSize - length ? size : kChunkMinSize - length;
        length += static_cast<uint32_t>(skip);
        i = skip;
    }
    while (i < size) {
        // Up to the average size a chunk ends under the stricter mask; a longer one at the
        // latest at the maximum size. Each phase runs with one mask.
        const bool shortChunk = length < kChunkAverageSize;
        const uint32_t mask = shortChunk ? kMaskBeforeAverage : kMaskAfterAverage;
        const uint32_t phaseEnd = shortChunk ? kChunkAverageSize : kChunkMaxSize;
        const size_t end = i + (phaseEnd - length < size - i ? phaseEnd - length : size - i);
        length += static_cast<uint32_t>(end - i);
        // Both steps are tested: the boundaries are those of one byte at a time.
        for (; i + 2 <= end; i += 2) {
            const uint32_t first = (hash << 1) + kGear.values[data[i]];
            hash = (hash << 2) + kGearDoubled.values[data[i]] + kGear.values[data[i + 1]];
            if ((first & mask) == 0)
                return EndChunk(cutter, cut, i + 1);
            if ((hash & mask) == 0)
                return EndChunk(cutter, cut, i + 2);
        }
        if (i < end) {
            hash = (hash << 1) + kGear.values[data[i++]];
            if ((hash & mask) == 0)
                return EndChunk(cutter, cut, i);
        }
        if (length == kChunkMaxSize)
            return EndChunk(cutter, cut, i);
    }
    cutter->length = length;
    cutter->hash = hash;
    return size;
}
