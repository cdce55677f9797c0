// SHA-1 through CryptoAPI, fed in pieces: a file as it is read, a download as it arrives.
#include "base/sha1_win.h"

#include <process.h>
#include <stdlib.h>

namespace {

// The length that tells the hashing thread to end.
constexpr DWORD kStopLength = MAXDWORD;

unsigned __stdcall HashHandedBuffers(void* argument) {
    auto* stream = static_cast<Sha1Stream*>(argument);
    for (int i = 0;; i ^= 1) {
        WaitForSingleObject(stream->filled[i], INFINITE);
        if (stream->lengths[i] == kStopLength)
            return 0;
        if (!Sha1Add(&stream->sha1, stream->buffers[i], stream->lengths[i]))
            stream->failed.store(true);
        SetEvent(stream->emptied[i]);
    }
}

// Ends the thread once it has hashed every buffer handed to it.
void StopHashing(Sha1Stream* stream) {
    if (stream->thread == nullptr)
        return;
    Sha1StreamBuffer(stream);
    stream->lengths[stream->next] = kStopLength;
    SetEvent(stream->filled[stream->next]);
    WaitForSingleObject(stream->thread, INFINITE);
    CloseHandle(stream->thread);
    stream->thread = nullptr;
}

}  // namespace

bool Sha1Begin(Sha1* sha1) {
    return CryptAcquireContextA(&sha1->context.provider, nullptr, nullptr, PROV_RSA_FULL,
                                CRYPT_VERIFYCONTEXT) &&
           CryptCreateHash(sha1->context.provider, CALG_SHA1, 0, 0, &sha1->hash.hash);
}

bool Sha1Add(Sha1* sha1, const void* data, DWORD size) {
    return CryptHashData(sha1->hash.hash, static_cast<const BYTE*>(data), size, 0) != FALSE;
}

bool Sha1Finish(Sha1* sha1, char* out) {
    BYTE digest[kDigestBytes];
    DWORD size = sizeof(digest);
    if (!CryptGetHashParam(sha1->hash.hash, HP_HASHVAL, digest, &size, 0))
        return false;
    static const char kHex[] = "0123456789abcdef";
    for (int i = 0; i < kDigestBytes; ++i) {
        out[2 * i] = kHex[digest[i] >> 4];
        out[2 * i + 1] = kHex[digest[i] & 0xF];
    }
    out[kDigestLength] = '\0';
    return true;
}

Sha1Stream::~Sha1Stream() {
    StopHashing(this);
    for (int i = 0; i < 2; ++i) {
        if (filled[i] != nullptr)
            CloseHandle(filled[i]);
        if (emptied[i] != nullptr)
            CloseHandle(emptied[i]);
        free(buffers[i]);
    }
}

bool Sha1StreamBegin(Sha1Stream* stream, DWORD chunkSize) {
    if (!Sha1Begin(&stream->sha1))
        return false;
    for (int i = 0; i < 2; ++i) {
        stream->buffers[i] = static_cast<char*>(malloc(chunkSize));
        stream->filled[i] = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        stream->emptied[i] = CreateEventA(nullptr, FALSE, TRUE, nullptr);
        if (stream->buffers[i] == nullptr || stream->filled[i] == nullptr ||
            stream->emptied[i] == nullptr)
            return false;
    }
    stream->thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, HashHandedBuffers, stream, 0, nullptr));
    return stream->thread != nullptr;
}

char* Sha1StreamBuffer(Sha1Stream* stream) {
    if (!stream->held) {
        WaitForSingleObject(stream->emptied[stream->next], INFINITE);
        stream->held = true;
    }
    return stream->buffers[stream->next];
}

void Sha1StreamAdd(Sha1Stream* stream, DWORD size) {
    stream->lengths[stream->next] = size;
    stream->held = false;
    SetEvent(stream->filled[stream->next]);
    stream->next ^= 1;
}

bool Sha1StreamFinish(Sha1Stream* stream, char* out) {
    StopHashing(stream);
    return !stream->failed.load() && Sha1Finish(&stream->sha1, out);
}
