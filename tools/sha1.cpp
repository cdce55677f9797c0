// SHA-1 for the publishing tool, computed by libcrypto.
#include "tools/sha1.h"

#include <openssl/evp.h>
#include <stdlib.h>

Sha1State::~Sha1State() {
    EVP_MD_CTX_free(context);
}

void Sha1Init(Sha1State* state) {
    if (state->context == nullptr)
        state->context = EVP_MD_CTX_new();
    if (state->context == nullptr || EVP_DigestInit_ex(state->context, EVP_sha1(), nullptr) != 1) {
        // Without a digest the tool would publish wrong manifests; stop instead.
        abort();
    }
}

void Sha1Update(Sha1State* state, const void* data, size_t size) {
    EVP_DigestUpdate(state->context, data, size);
}

std::string Sha1FinalHex(Sha1State* state) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(state->context, digest, &length);
    return LowerHex(digest, length);
}

std::string LowerHex(const unsigned char* bytes, size_t size) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        out += kHex[bytes[i] >> 4];
        out += kHex[bytes[i] & 15];
    }
    return out;
}
