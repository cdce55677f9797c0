// Checking a release's signature with the launcher's built-in key, through CryptoAPI.
#include "patch/release_check_win.h"

#include <windows.h>
#include <wincrypt.h>

#include "base/handle_guards_win.h"
#include "base/run_log_win.h"
#include "patch/release_key.h"

namespace {

struct PublicKeyInfo {
    CERT_PUBLIC_KEY_INFO* info = nullptr;
    PublicKeyInfo() = default;
    ~PublicKeyInfo() { LocalFree(info); }
    PublicKeyInfo(const PublicKeyInfo&) = delete;
    PublicKeyInfo& operator=(const PublicKeyInfo&) = delete;
};

struct CryptKey {
    HCRYPTKEY key = 0;
    CryptKey() = default;
    ~CryptKey() {
        if (key != 0)
            CryptDestroyKey(key);
    }
    CryptKey(const CryptKey&) = delete;
    CryptKey& operator=(const CryptKey&) = delete;
};

}  // namespace

bool ReleasesAreSigned() {
    return kReleaseKeySize > 0;
}

bool VerifyReleaseSignature(const unsigned char (&signature)[kSignatureBytes], const char* data,
                            size_t size) {
    // Declared in the order they are made, so each is released before what it came from.
    CryptContext context;
    PublicKeyInfo keyInfo;
    CryptKey key;
    CryptHash hash;
    DWORD infoSize = 0;
    if (!CryptAcquireContextA(&context.provider, nullptr, nullptr, PROV_RSA_AES,
                              CRYPT_VERIFYCONTEXT) ||
        !CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, kReleaseKey,
                             static_cast<DWORD>(kReleaseKeySize), CRYPT_DECODE_ALLOC_FLAG, nullptr,
                             &keyInfo.info, &infoSize) ||
        !CryptImportPublicKeyInfo(context.provider, X509_ASN_ENCODING, keyInfo.info, &key.key) ||
        !CryptCreateHash(context.provider, CALG_SHA_256, 0, 0, &hash.hash) ||
        !CryptHashData(hash.hash, reinterpret_cast<const BYTE*>(data), static_cast<DWORD>(size),
                       0)) {
        LogProblem("signature check could not run (error %lu)", GetLastError());
        return false;
    }
    // CryptoAPI reads a signature least significant byte first; the files carry it the other
    // way round, as libcrypto writes it.
    BYTE reversed[kSignatureBytes];
    for (size_t i = 0; i < kSignatureBytes; ++i)
        reversed[i] = signature[kSignatureBytes - 1 - i];
    return CryptVerifySignatureA(hash.hash, reversed, kSignatureBytes, key.key, nullptr, 0) !=
           FALSE;
}
