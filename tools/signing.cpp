// Release keys and signatures for the publishing tool, and the sequence counter beside the key.
#include "tools/signing.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <filesystem>

#include "base/decimal.h"
#include "base/stdio_file.h"
#include "patch/signed_release.h"
#include "tools/file_jobs.h"
#include "tools/openssl_owners.h"
#include "tools/publish_names.h"
#include "tools/sha1.h"

namespace fs = std::filesystem;

namespace {

// The largest number of kSequenceDigitsLimit digits, the last sequence a launcher reads.
constexpr long long LargestOfDigits(size_t digits) {
    return digits == 0 ? 0 : LargestOfDigits(digits - 1) * 10 + 9;
}
constexpr long long kLastSequence = LargestOfDigits(kSequenceDigitsLimit);

bool IsReleaseKey(const EVP_PKEY* key, const std::string& path, std::ostream& errors) {
    if (EVP_PKEY_get_base_id(key) == EVP_PKEY_RSA && EVP_PKEY_get_bits(key) == kKeyBits)
        return true;
    errors << path << " is not an RSA " << kKeyBits << " key; make one with skh_publish keygen\n";
    return false;
}

}  // namespace

ReleaseKey::~ReleaseKey() {
    EVP_PKEY_free(key);
}

bool LoadPrivateKey(const std::string& path, ReleaseKey* key, std::ostream& errors) {
    StdioFile file(fopen(path.c_str(), "rbe"));
    struct stat status;
    if (file.file == nullptr || fstat(fileno(file.file), &status) != 0) {
        errors << "cannot read the private key " << path << "\n";
        return false;
    }
    key->file = IdOf(status);
    key->key = PEM_read_PrivateKey(file.file, nullptr, nullptr, nullptr);
    ERR_clear_error();
    if (key->key == nullptr) {
        errors << path << " is not a PEM private key, or its passphrase was not given\n";
        return false;
    }
    return IsReleaseKey(key->key, path, errors);
}

bool LoadPublicKey(const std::string& path, ReleaseKey* key, std::ostream& errors) {
    std::string der;
    if (!ReadWholeFile(path, &der)) {
        errors << "cannot read the public key " << path << "\n";
        return false;
    }
    const unsigned char* cursor = reinterpret_cast<const unsigned char*>(der.data());
    key->key = d2i_PUBKEY(nullptr, &cursor, static_cast<long>(der.size()));
    ERR_clear_error();
    if (key->key == nullptr) {
        errors << path << " is not a DER public key (" << kPublicKeyName << ")\n";
        return false;
    }
    return IsReleaseKey(key->key, path, errors);
}

std::string SignatureLine(const ReleaseKey& key, const std::string& message) {
    OwnedDigestContext context(EVP_MD_CTX_new());
    unsigned char signature[kSignatureBytes];
    size_t length = sizeof(signature);
    // RSA keys sign with PKCS#1 v1.5 padding unless told otherwise.
    if (context == nullptr ||
        EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key.key) != 1 ||
        EVP_DigestSign(context.get(), signature, &length,
                       reinterpret_cast<const unsigned char*>(message.data()),
                       message.size()) != 1 ||
        length != kSignatureBytes) {
        ERR_clear_error();
        return "";
    }
    return kSignatureTag + LowerHex(signature, length);
}

bool VerifySignature(const ReleaseKey& key, const unsigned char* signature,
                     const std::string& message) {
    OwnedDigestContext context(EVP_MD_CTX_new());
    bool good = context != nullptr &&
                EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.key) == 1 &&
                EVP_DigestVerify(context.get(), signature, kSignatureBytes,
                                 reinterpret_cast<const unsigned char*>(message.data()),
                                 message.size()) == 1;
    ERR_clear_error();
    return good;
}

bool TakeNextSequence(const std::string& keyPath, long long servedSequence, long long* sequence,
                      std::ostream& errors) {
    const std::string counter = (fs::path(keyPath).parent_path() / kSequenceCounterName).string();
    std::string text;
    if (!ReadWholeFile(counter, &text)) {
        errors << "no sequence counter " << counter << " beside the key (keygen makes one); "
               << "for an older key write into it the highest sequence number it, or the key "
                  "before it, has signed\n";
        return false;
    }
    const std::string digits = FirstLine(text);
    long long last = 0;
    if (text != digits + "\n" ||
        !ParseDecimal(digits.data(), digits.size(), 0, kLastSequence, &last)) {
        errors << counter << " holds no sequence number\n";
        return false;
    }
    if (last == kLastSequence) {
        errors << "the sequence counter " << counter << " cannot grow any further\n";
        return false;
    }
    *sequence = last + 1;
    if (*sequence <= servedSequence) {
        errors << "the output folder's manifest is signed with sequence " << servedSequence
               << ", and " << counter << " gives " << *sequence
               << ": launchers that took that manifest would refuse this one. After a key "
                  "change, copy the old key's "
               << kSequenceCounterName << " beside the new one\n";
        return false;
    }
    if (!WriteWholeFile(counter, std::to_string(*sequence) + "\n", 0600)) {
        errors << "cannot raise the sequence counter " << counter << "\n";
        return false;
    }
    return true;
}
