// Release keys and signatures for the publishing tool, and its keygen and launcher commands.
#pragma once

#include <ostream>
#include <string>

typedef struct evp_pkey_st EVP_PKEY;

// Owns one loaded release key, private or public.
struct ReleaseKey {
    EVP_PKEY* key = nullptr;
    ReleaseKey() = default;
    ~ReleaseKey();
    ReleaseKey(const ReleaseKey&) = delete;
    ReleaseKey& operator=(const ReleaseKey&) = delete;
};

// A PEM private key, or a DER SubjectPublicKeyInfo. False, with the file named but none of
// its bytes shown, when it cannot be read or is not an RSA 3072 key.
bool LoadPrivateKey(const std::string& path, ReleaseKey* key, std::ostream& errors);
bool LoadPublicKey(const std::string& path, ReleaseKey* key, std::ostream& errors);

// "#@signature " and the message's signature in hexadecimal, without a line end; empty
// when libcrypto could not sign.
std::string SignatureLine(const ReleaseKey& key, const std::string& message);

bool VerifySignature(const ReleaseKey& key, const unsigned char* signature,
                     const std::string& message);

// Writes keyDir/release_private.pem (PKCS#8, mode 0600) and keyDir/release_public.der, and
// never replaces an existing key.
int MakeKeyPair(const std::string& keyDir, std::ostream& report, std::ostream& errors);

struct LauncherOptions {
    std::string build;    // as given on the command line
    std::string keyPath;  // empty: an unsigned offer
    std::string exePath;
    std::string outDir;
};

// Puts a launcher and its offer into outDir/skh-share/: the executable first, then
// patcher_version.txt, each written under a hidden name and renamed into place.
int ShipLauncher(const LauncherOptions& options, std::ostream& report, std::ostream& errors);

enum class OfferCheck { Absent, Signed, Bad };

// Checks the signature of outDir/skh-share/'s offer over its launcher, when both are there.
// *text is the build number for Signed, the problem for Bad.
OfferCheck CheckLauncherOffer(const std::string& outDir, const ReleaseKey& key, std::string* text);
