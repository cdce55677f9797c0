// Release keys and signatures for the publishing tool, and the sequence counter that lives
// beside the private key.
#pragma once

#include <ostream>
#include <string>

#include "tools/disk.h"

typedef struct evp_pkey_st EVP_PKEY;

// The files of a key folder, as keygen writes them.
constexpr char kPrivateKeyName[] = "release_private.pem";
constexpr char kPublicKeyName[] = "release_public.der";
constexpr char kSequenceCounterName[] = "release_sequence.txt";
constexpr int kKeyBits = 3072;

// Owns one loaded release key, private or public.
struct ReleaseKey {
    EVP_PKEY* key = nullptr;
    FileId file;  // the file it was read from
    ReleaseKey() = default;
    ~ReleaseKey();
    ReleaseKey(const ReleaseKey&) = delete;
    ReleaseKey& operator=(const ReleaseKey&) = delete;
};

// A PEM private key, or a DER SubjectPublicKeyInfo. False, with the file named but none of
// its bytes shown, when it cannot be read or is not an RSA kKeyBits key.
bool LoadPrivateKey(const std::string& path, ReleaseKey* key, std::ostream& errors);
bool LoadPublicKey(const std::string& path, ReleaseKey* key, std::ostream& errors);

// "#@signature " and the message's signature in hexadecimal, without a line end; empty
// when libcrypto could not sign.
std::string SignatureLine(const ReleaseKey& key, const std::string& message);

bool VerifySignature(const ReleaseKey& key, const unsigned char* signature,
                     const std::string& message);

// The sequence number of a new manifest signed with the private key at keyPath: one above the
// counter kSequenceCounterName beside the key, which is raised to it and flushed to disk
// before anything is signed, so no number is signed twice whatever a served tree says.
// False when the counter is missing or unreadable, cannot grow, or the number would not be
// above servedSequence (the output folder's signed manifest, 0 for none): launchers that took
// that manifest would refuse the new one.
bool TakeNextSequence(const std::string& keyPath, long long servedSequence, long long* sequence,
                      std::ostream& errors);
