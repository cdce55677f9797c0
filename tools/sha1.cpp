// SHA-1 (FIPS 180-4), written out so the tool needs no crypto library.
#include "tools/sha1.h"

#include <string.h>

namespace {

uint32_t RotateLeft(uint32_t value, int bits) {
    return (value << bits) | (value >> (32 - bits));
}

void ProcessBlock(uint32_t* h, const unsigned char* block) {
    uint32_t w[80];
    for (int i = 0; i < 16; ++i) {
        w[i] = (uint32_t{block[4 * i]} << 24) | (uint32_t{block[4 * i + 1]} << 16) |
               (uint32_t{block[4 * i + 2]} << 8) | uint32_t{block[4 * i + 3]};
    }
    for (int i = 16; i < 80; ++i)
        w[i] = RotateLeft(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);

    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int i = 0; i < 80; ++i) {
        uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        uint32_t next = RotateLeft(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = RotateLeft(b, 30);
        b = a;
        a = next;
    }
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
}

}  // namespace

void Sha1Init(Sha1State* state) {
    state->h[0] = 0x67452301;
    state->h[1] = 0xEFCDAB89;
    state->h[2] = 0x98BADCFE;
    state->h[3] = 0x10325476;
    state->h[4] = 0xC3D2E1F0;
    state->totalBytes = 0;
    state->blockUsed = 0;
}

void Sha1Update(Sha1State* state, const void* data, size_t size) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    state->totalBytes += size;
    if (state->blockUsed > 0) {
        size_t take = 64 - state->blockUsed < size ? 64 - state->blockUsed : size;
        memcpy(state->block + state->blockUsed, bytes, take);
        state->blockUsed += take;
        bytes += take;
        size -= take;
        if (state->blockUsed < 64)
            return;
        ProcessBlock(state->h, state->block);
        state->blockUsed = 0;
    }
    // Whole blocks straight from the caller's buffer, without a copy.
    while (size >= 64) {
        ProcessBlock(state->h, bytes);
        bytes += 64;
        size -= 64;
    }
    memcpy(state->block, bytes, size);
    state->blockUsed = size;
}

std::string Sha1FinalHex(Sha1State* state) {
    uint64_t bitLength = state->totalBytes * 8;
    unsigned char padding[72] = {0x80};
    size_t padSize = state->blockUsed < 56 ? 56 - state->blockUsed : 120 - state->blockUsed;
    for (int i = 0; i < 8; ++i)
        padding[padSize + i] = static_cast<unsigned char>(bitLength >> (56 - 8 * i));
    uint64_t total = state->totalBytes;
    Sha1Update(state, padding, padSize + 8);
    state->totalBytes = total;

    static const char kHex[] = "0123456789abcdef";
    std::string out(40, '0');
    for (int i = 0; i < 20; ++i) {
        unsigned char byte = static_cast<unsigned char>(state->h[i / 4] >> (24 - 8 * (i % 4)));
        out[2 * i] = kHex[byte >> 4];
        out[2 * i + 1] = kHex[byte & 15];
    }
    return out;
}

std::string Sha1Hex(const std::string& data) {
    Sha1State state;
    Sha1Init(&state);
    Sha1Update(&state, data.data(), data.size());
    return Sha1FinalHex(&state);
}
