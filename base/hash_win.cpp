// Hashing through CryptoAPI, fed in pieces: a file as it is read, a download as it arrives.
#include "base/hash_win.h"

#include "base/lower_hex.h"

namespace {

constexpr DWORD kFileChunk = 64 << 10;

bool AddHeldFileToHash(HCRYPTHASH hash, HANDLE file) {
    BYTE chunk[kFileChunk];
    DWORD got = 0;
    while (ReadFile(file, chunk, kFileChunk, &got, nullptr) && got > 0) {
        if (!CryptHashData(hash, chunk, got, 0))
            return false;
    }
    return true;
}

}  // namespace

// Acquiring a context costs about 0.4 ms under Wine, and about 7 ms when no other is open (the
// provider's library is loaded with the first context and unloaded with the last): paid per
// download, that was most of what checking a small file cost. Never released, so no worker can
// find it gone while the process ends.
HCRYPTPROV HashProvider() {
    static const HCRYPTPROV provider = [] {
        HCRYPTPROV acquired = 0;
        if (!CryptAcquireContextA(&acquired, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
            acquired = 0;
        return acquired;
    }();
    return provider;
}

bool Sha1Begin(Sha1* sha1) {
    if (sha1->hash.hash != 0)
        CryptDestroyHash(sha1->hash.hash);
    sha1->hash.hash = 0;
    return CryptCreateHash(HashProvider(), CALG_SHA1, 0, 0, &sha1->hash.hash) != FALSE;
}

bool Sha1Add(Sha1* sha1, const void* data, DWORD size) {
    return CryptHashData(sha1->hash.hash, static_cast<const BYTE*>(data), size, 0) != FALSE;
}

bool Sha1Finish(Sha1* sha1, char* out) {
    BYTE digest[kDigestBytes];
    DWORD size = sizeof(digest);
    if (!CryptGetHashParam(sha1->hash.hash, HP_HASHVAL, digest, &size, 0))
        return false;
    WriteLowerHex(digest, sizeof(digest), out);
    return true;
}

bool AddFileToHash(HCRYPTHASH hash, const char* path) {
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    return file.IsOpen() && AddHeldFileToHash(hash, file.handle);
}

bool HashFileSha1(const char* path, char* out) {
    Sha1 sha1;
    return Sha1Begin(&sha1) && AddFileToHash(sha1.hash.hash, path) && Sha1Finish(&sha1, out);
}

bool HashHeldFileSha1(HANDLE file, char* out) {
    Sha1 sha1;
    return Sha1Begin(&sha1) && AddHeldFileToHash(sha1.hash.hash, file) && Sha1Finish(&sha1, out);
}

bool HashFileSha256(const char* path, char* out) {
    CryptHash hash;
    BYTE digest[kSha256Bytes];
    DWORD size = sizeof(digest);
    if (!CryptCreateHash(HashProvider(), CALG_SHA_256, 0, 0, &hash.hash) ||
        !AddFileToHash(hash.hash, path) ||
        !CryptGetHashParam(hash.hash, HP_HASHVAL, digest, &size, 0) || size != sizeof(digest)) {
        return false;
    }
    WriteLowerHex(digest, sizeof(digest), out);
    return true;
}
