// The keygen command: a new release key pair and its sequence counter.
#include "tools/keygen.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <filesystem>
#include <system_error>

#include "tools/file_jobs.h"
#include "tools/openssl_owners.h"
#include "tools/publish.h"
#include "tools/signing.h"

namespace fs = std::filesystem;

int MakeKeyPair(const std::string& keyDir, std::ostream& report, std::ostream& errors) {
    const fs::path privatePath = fs::path(keyDir) / kPrivateKeyName;
    const fs::path publicPath = fs::path(keyDir) / kPublicKeyName;
    const fs::path counterPath = fs::path(keyDir) / kSequenceCounterName;
    std::error_code error;
    if (fs::exists(privatePath, error) || fs::exists(publicPath, error)) {
        errors << "a key is already in " << keyDir
               << "; keygen never replaces one (see docs/OPERATORS.md on rotating a key)\n";
        return kExitProblems;
    }
    fs::create_directories(keyDir, error);
    ReleaseKey key;
    key.key = EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", static_cast<size_t>(kKeyBits));
    OwnedBio pem(BIO_new(BIO_s_mem()));
    unsigned char* derBytes = nullptr;
    const int derLength = key.key == nullptr ? -1 : i2d_PUBKEY(key.key, &derBytes);
    OwnedBytes der(derBytes);
    char* pemData = nullptr;
    long pemLength = 0;
    if (pem != nullptr && derLength > 0 &&
        PEM_write_bio_PKCS8PrivateKey(pem.get(), key.key, nullptr, nullptr, 0, nullptr, nullptr) ==
            1)
        pemLength = BIO_get_mem_data(pem.get(), &pemData);
    ERR_clear_error();
    const bool privateWritten =
        pemLength > 0 &&
        WriteWholeFile(privatePath.string(), std::string(pemData, static_cast<size_t>(pemLength)),
                       0600, Existing::Keep);
    const bool publicWritten =
        privateWritten && WriteWholeFile(publicPath.string(),
                                         std::string(reinterpret_cast<char*>(der.get()),
                                                     static_cast<size_t>(derLength)),
                                         0644, Existing::Keep);
    // A counter already there was taken over from the key before (docs/OPERATORS.md).
    const bool counterKept = fs::exists(counterPath, error);
    const bool counterWritten =
        publicWritten &&
        (counterKept || WriteWholeFile(counterPath.string(), "0\n", 0600, Existing::Keep));
    if (!counterWritten) {
        if (privateWritten)
            fs::remove(privatePath, error);
        if (publicWritten)
            fs::remove(publicPath, error);
        errors << "cannot make a key pair in " << keyDir << "\n";
        return kExitProblems;
    }
    report << "wrote " << privatePath.string() << " (keep it offline, readable only by you)\n"
           << "wrote " << publicPath.string()
           << " (build launchers with SKH_RELEASE_KEY=" << fs::absolute(publicPath, error).string()
           << ")\n"
           << (counterKept ? "kept " : "wrote ") << counterPath.string()
           << " (the last signed sequence number; keep it with the private key)\n";
    return kExitOk;
}
