// SHA-1 through CryptoAPI, fed in pieces: a file as it is read, a download as it arrives.
#pragma once

#include <atomic>

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

// A download's SHA-1, computed on a thread of its own while the next chunk arrives: under
// Wine, WinINet's TLS and CryptoAPI's SHA-1 each keep a core busy, and one after the other
// they made a signed download about 7 % slower. The caller fills one of two buffers while
// the thread hashes the other. The destructor ends the thread on every path.
struct Sha1Stream {
    Sha1 sha1;
    char* buffers[2] = {nullptr, nullptr};
    DWORD lengths[2] = {0, 0};
    HANDLE filled[2] = {nullptr, nullptr};   // the buffer holds lengths[i] bytes to hash
    HANDLE emptied[2] = {nullptr, nullptr};  // the buffer may be filled again
    HANDLE thread = nullptr;
    int next = 0;       // the buffer the caller fills next
    bool held = false;  // the caller has it and has not handed it over yet
    std::atomic<bool> failed{false};
    Sha1Stream() = default;
    ~Sha1Stream();
    Sha1Stream(const Sha1Stream&) = delete;
    Sha1Stream& operator=(const Sha1Stream&) = delete;
};

bool Sha1StreamBegin(Sha1Stream* stream, DWORD chunkSize);
// The buffer of chunkSize bytes to fill next, once the thread has hashed what it last held.
char* Sha1StreamBuffer(Sha1Stream* stream);
// Hands that buffer, now holding size bytes, to the thread.
void Sha1StreamAdd(Sha1Stream* stream, DWORD size);
// Waits until every buffer handed over is hashed, then writes the digest as Sha1Finish does.
bool Sha1StreamFinish(Sha1Stream* stream, char* out);
