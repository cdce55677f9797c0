// SHA-1 for the publishing tool, computed by libcrypto.
#include "tools/sha1.h"

#include <openssl/err.h>
#include <openssl/evp.h>

#include "base/digest.h"
#include "base/lower_hex.h"

Sha1::~Sha1() {
    EVP_MD_CTX_free(context);
}

bool Sha1Begin(Sha1* sha1) {
    if (sha1->context == nullptr)
        sha1->context = EVP_MD_CTX_new();
    if (sha1->context != nullptr && EVP_DigestInit_ex(sha1->context, EVP_sha1(), nullptr) == 1)
        return true;
    ERR_clear_error();
    return false;
}

bool Sha1Add(Sha1* sha1, const void* data, size_t size) {
    if (EVP_DigestUpdate(sha1->context, data, size) == 1)
        return true;
    ERR_clear_error();
    return false;
}

bool Sha1Finish(Sha1* sha1, std::string* hex) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(sha1->context, digest, &length) != 1 || length != kDigestBytes) {
        ERR_clear_error();
        return false;
    }
    *hex = LowerHex(digest, length);
    return true;
}

std::string LowerHex(const unsigned char* bytes, size_t size) {
    std::string out(2 * size + 1, '\0');
    WriteLowerHex(bytes, size, &out[0]);
    out.pop_back();
    return out;
}
