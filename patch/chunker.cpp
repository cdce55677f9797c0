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
    for (; i < size; ++i) {
        hash = (hash << 1) + kGear.values[data[i]];
        ++length;
        const uint32_t mask = length <= kChunkAverageSize ? kMaskBeforeAverage : kMaskAfterAverage;
        if ((hash & mask) == 0 || length == kChunkMaxSize) {
            *cut = true;
            cutter->length = 0;
            cutter->hash = 0;
            return i + 1;
        }
    }
    cutter->length = length;
    cutter->hash = hash;
    return size;
}
