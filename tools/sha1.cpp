// SHA-1 (FIPS 180-4), written out so the tool needs no crypto library.
#include "tools/sha1.h"

#include <string.h>

namespace {

uint32_t RotateLeft(uint32_t value, int bits) {
    return (value << bits) | (value >> (32 - bits));
}

uint32_t LoadBigEndian(const unsigned char* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

inline uint32_t NextWord(uint32_t* w, int i) {
    w[i & 15] = RotateLeft(w[(i + 13) & 15] ^ w[(i + 8) & 15] ^ w[(i + 2) & 15] ^ w[i & 15], 1);
    return w[i & 15];
}

// One round; the caller rotates the roles of the five variables instead of moving values.
inline void Round(uint32_t a, uint32_t& b, uint32_t& e, uint32_t f, uint32_t k, uint32_t word) {
    e += RotateLeft(a, 5) + f + k + word;
    b = RotateLeft(b, 30);
}

// The schedule is kept as 16 words, each computed in the round that needs it, and five
// rounds are written out per pass, so the compiler keeps every variable in a register.
void ProcessBlock(uint32_t* h, const unsigned char* block) {
    uint32_t w[16];
    for (int i = 0; i < 16; ++i)
        w[i] = LoadBigEndian(block + 4 * i);
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int i = 0; i < 80; i += 5) {
        uint32_t k = i < 20 ? 0x5A827999 : i < 40 ? 0x6ED9EBA1 : i < 60 ? 0x8F1BBCDC : 0xCA62C1D6;
        uint32_t words[5];
        for (int j = 0; j < 5; ++j)
            words[j] = i + j < 16 ? w[i + j] : NextWord(w, i + j);
        if (i < 20) {
            Round(a, b, e, d ^ (b & (c ^ d)), k, words[0]);
            Round(e, a, d, c ^ (a & (b ^ c)), k, words[1]);
            Round(d, e, c, b ^ (e & (a ^ b)), k, words[2]);
            Round(c, d, b, a ^ (d & (e ^ a)), k, words[3]);
            Round(b, c, a, e ^ (c & (d ^ e)), k, words[4]);
        } else if (i < 40 || i >= 60) {
            Round(a, b, e, b ^ c ^ d, k, words[0]);
            Round(e, a, d, a ^ b ^ c, k, words[1]);
            Round(d, e, c, e ^ a ^ b, k, words[2]);
            Round(c, d, b, d ^ e ^ a, k, words[3]);
            Round(b, c, a, c ^ d ^ e, k, words[4]);
        } else {
            Round(a, b, e, (b & c) | (d & (b | c)), k, words[0]);
            Round(e, a, d, (a & b) | (c & (a | b)), k, words[1]);
            Round(d, e, c, (e & a) | (b & (e | a)), k, words[2]);
            Round(c, d, b, (d & e) | (a & (d | e)), k, words[3]);
            Round(b, c, a, (c & d) | (e & (c | d)), k, words[4]);
        }
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
