// SHA-1 (FIPS 180-4) for the publishing tool: the digests the launcher compares against.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

struct Sha1State {
    uint32_t h[5];
    uint64_t totalBytes;
    unsigned char block[64];
    size_t blockUsed;
};

void Sha1Init(Sha1State* state);
void Sha1Update(Sha1State* state, const void* data, size_t size);
// The digest as 40 lowercase hexadecimal digits, the form the manifest carries.
std::string Sha1FinalHex(Sha1State* state);

std::string Sha1Hex(const std::string& data);
