// Hashing through CryptoAPI, fed in pieces: a file as it is read, a download as it arrives.
#pragma once

#include "base/digest.h"
#include "base/handle_guards_win.h"

// The one CryptoAPI provider (PROV_RSA_AES) that makes every hash of the process, from any
// thread; 0 when CryptoAPI has none, which fails every hash made from it.
HCRYPTPROV HashProvider();

struct Sha1 {
    CryptHash hash;
};

// Starts a new digest; a hash already begun is dropped.
bool Sha1Begin(Sha1* sha1);
bool Sha1Add(Sha1* sha1, const void* data, DWORD size);
// Writes the digest as kDigestLength lowercase digits and a zero into out.
bool Sha1Finish(Sha1* sha1, char* out);

// Feeds every byte of the file at path to a CryptoAPI hash of any kind. A failed read ends the
// data as the end of the file does, so the digest comes out wrong rather than missing. False
// when the file cannot be opened or the hash refuses the data.
bool AddFileToHash(HCRYPTHASH hash, const char* path);

// Writes the file's SHA-1 as kDigestLength lowercase digits and a zero into out; false when
// the file cannot be opened or the digest service fails.
bool HashFileSha1(const char* path, char* out);
// The same for a file the caller holds open, read from its current position to its end.
bool HashHeldFileSha1(HANDLE file, char* out);
// The file's SHA-256 as kSha256Length lowercase digits and a zero in out; false when the file
// cannot be opened or the digest service fails.
bool HashFileSha256(const char* path, char* out);
