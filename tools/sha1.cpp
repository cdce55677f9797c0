// SHA-1 for the publishing tool, computed by libcrypto.
#include "tools/sha1.h"

#include <openssl/evp.h>
#include <stdlib.h>

#include "base/lower_hex.h"

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
    std::string out(2 * size + 1, '\0');
    WriteLowerHex(bytes, size, &out[0]);
    out.pop_back();
    return out;
}
