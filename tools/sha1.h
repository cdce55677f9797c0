// SHA-1 for the publishing tool: the digests the launcher compares against, and the
// lowercase hexadecimal form that digests and signatures are written in.
#pragma once

#include <stddef.h>

#include <string>

typedef struct evp_md_ctx_st EVP_MD_CTX;

// Owns one digest computation; libcrypto's SHA-1 uses the processor's SHA instructions
// where there are any, which keeps publishing well ahead of sha1sum.
struct Sha1State {
    EVP_MD_CTX* context = nullptr;
    Sha1State() = default;
    ~Sha1State();
    Sha1State(const Sha1State&) = delete;
    Sha1State& operator=(const Sha1State&) = delete;
};

void Sha1Init(Sha1State* state);
void Sha1Update(Sha1State* state, const void* data, size_t size);
// The digest as 40 lowercase hexadecimal digits, the form the manifest carries.
std::string Sha1FinalHex(Sha1State* state);

std::string LowerHex(const unsigned char* bytes, size_t size);
