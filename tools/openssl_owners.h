// Owners of libcrypto objects: each is freed once, on every path out of its scope.
#pragma once

#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <memory>

struct OpensslFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
    void operator()(unsigned char* bytes) const { OPENSSL_free(bytes); }
};
using OwnedBio = std::unique_ptr<BIO, OpensslFree>;
using OwnedDigestContext = std::unique_ptr<EVP_MD_CTX, OpensslFree>;
using OwnedBytes = std::unique_ptr<unsigned char, OpensslFree>;
