// SHA-1 for the publishing tool: the digests the launcher compares against, and the
// lowercase hexadecimal form that digests and signatures are written in.
#pragma once

#include <stddef.h>

#include <string>

typedef struct evp_md_ctx_st EVP_MD_CTX;

// Owns one digest computation; libcrypto's SHA-1 uses the processor's SHA instructions
// where there are any, which keeps publishing well ahead of sha1sum.
struct Sha1 {
    EVP_MD_CTX* context = nullptr;
    Sha1() = default;
    ~Sha1();
    Sha1(const Sha1&) = delete;
    Sha1& operator=(const Sha1&) = delete;
};

// Each is false when libcrypto failed: the digest is then unknown, never a wrong one.
bool Sha1Begin(Sha1* sha1);
bool Sha1Add(Sha1* sha1, const void* data, size_t size);
// The digest as 40 lowercase hexadecimal digits, the form the manifest carries.
bool Sha1Finish(Sha1* sha1, std::string* hex);

std::string LowerHex(const unsigned char* bytes, size_t size);
