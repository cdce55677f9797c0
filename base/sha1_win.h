// SHA-1 through CryptoAPI, fed in pieces: a file as it is read, a download as it arrives.
#pragma once

#include "base/digest.h"
#include "base/handle_guards_win.h"

// The context is declared before the hash, so the hash is destroyed first.
struct Sha1 {
    CryptContext context;
    CryptHash hash;
};

bool Sha1Begin(Sha1* sha1);
bool Sha1Add(Sha1* sha1, const void* data, DWORD size);
// Writes the digest as kDigestLength lowercase digits and a zero into out.
bool Sha1Finish(Sha1* sha1, char* out);
