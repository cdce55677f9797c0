// Release keys and signatures for the publishing tool, and its keygen and launcher commands.
#include "tools/signing.h"

#include <fcntl.h>
#include <limits.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <stdio.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <system_error>

#include "base/own_files.h"
#include "base/server_files.h"
#include "patch/self_update.h"
#include "patch/signed_release.h"
#include "tools/file_jobs.h"
#include "tools/publish.h"
#include "tools/sha1.h"

namespace fs = std::filesystem;

namespace {

constexpr char kPrivateName[] = "release_private.pem";
constexpr char kPublicName[] = "release_public.der";
constexpr int kKeyBits = 3072;

using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

bool IsReleaseKey(const EVP_PKEY* key, const std::string& path, std::ostream& errors) {
    if (EVP_PKEY_get_base_id(key) == EVP_PKEY_RSA && EVP_PKEY_get_bits(key) == kKeyBits)
        return true;
    errors << path << " is not an RSA " << kKeyBits << " key; make one with skh_publish keygen\n";
    return false;
}

// Creates a new file with mode and content; false, leaving no file of its own, when the
// name exists (O_EXCL: not even one made meanwhile by another run) or writing fails.
bool WriteNewFile(const fs::path& path, mode_t mode, const unsigned char* data, size_t size) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        return false;
    FILE* file = fdopen(fd, "wb");
    bool written = file != nullptr && fwrite(data, 1, size, file) == size;
    if ((file != nullptr ? fclose(file) : close(fd)) == 0 && written)
        return true;
    unlink(path.c_str());
    return false;
}

bool ParseBuild(const std::string& text, int* build) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    long long value = 0;
    for (char c : text) {
        value = value * 10 + (c - '0');
        if (value > INT_MAX)
            return false;
    }
    *build = static_cast<int>(value);
    return value > 0;
}

// Writes under a hidden name next to the target (nginx serves no dot names) and renames
// it into place, so a launcher sees either the old file or the whole new one.
bool ReplaceFile(const fs::path& path, const std::string& content, std::ostream& errors) {
    const fs::path temporary = path.parent_path() / ("." + path.filename().string() + ".new");
    std::error_code error;
    if (WriteWholeFile(temporary, content)) {
        fs::rename(temporary, path, error);
        if (!error)
            return true;
    }
    fs::remove(temporary, error);
    errors << "cannot write " << path.string() << "\n";
    return false;
}

}  // namespace

ReleaseKey::~ReleaseKey() {
    EVP_PKEY_free(key);
}

bool LoadPrivateKey(const std::string& path, ReleaseKey* key, std::ostream& errors) {
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        errors << "cannot read the private key " << path << "\n";
        return false;
    }
    key->key = PEM_read_PrivateKey(file, nullptr, nullptr, nullptr);
    fclose(file);
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
        errors << path << " is not a DER public key (release_public.der)\n";
        return false;
    }
    return IsReleaseKey(key->key, path, errors);
}

std::string SignatureLine(const ReleaseKey& key, const std::string& message) {
    DigestContext context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
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
    DigestContext context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    bool good = context != nullptr &&
                EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.key) == 1 &&
                EVP_DigestVerify(context.get(), signature, kSignatureBytes,
                                 reinterpret_cast<const unsigned char*>(message.data()),
                                 message.size()) == 1;
    ERR_clear_error();
    return good;
}

int MakeKeyPair(const std::string& keyDir, std::ostream& report, std::ostream& errors) {
    const fs::path privatePath = fs::path(keyDir) / kPrivateName;
    const fs::path publicPath = fs::path(keyDir) / kPublicName;
    std::error_code error;
    if (fs::exists(privatePath, error) || fs::exists(publicPath, error)) {
        errors << "a key is already in " << keyDir
               << "; keygen never replaces one (see docs/OPERATORS.md on rotating a key)\n";
        return kExitProblems;
    }
    fs::create_directories(keyDir, error);
    ReleaseKey key;
    key.key = EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", static_cast<size_t>(kKeyBits));
    BIO* pem = BIO_new(BIO_s_mem());
    unsigned char* der = nullptr;
    int derLength = key.key == nullptr ? -1 : i2d_PUBKEY(key.key, &der);
    char* pemData = nullptr;
    long pemLength = 0;
    if (pem != nullptr && derLength > 0 &&
        PEM_write_bio_PKCS8PrivateKey(pem, key.key, nullptr, nullptr, 0, nullptr, nullptr) == 1)
        pemLength = BIO_get_mem_data(pem, &pemData);
    const bool privateWritten =
        pemLength > 0 && WriteNewFile(privatePath, 0600, reinterpret_cast<unsigned char*>(pemData),
                                      static_cast<size_t>(pemLength));
    const bool publicWritten =
        privateWritten && WriteNewFile(publicPath, 0644, der, static_cast<size_t>(derLength));
    BIO_free(pem);
    OPENSSL_free(der);
    ERR_clear_error();
    if (!publicWritten) {
        if (privateWritten)
            fs::remove(privatePath, error);
        errors << "cannot make a key pair in " << keyDir << "\n";
        return kExitProblems;
    }
    report << "wrote " << privatePath.string() << " (keep it offline, readable only by you)\n"
           << "wrote " << publicPath.string()
           << " (build launchers with SKH_RELEASE_KEY=" << fs::absolute(publicPath, error).string()
           << ")\n";
    return kExitOk;
}

int ShipLauncher(const LauncherOptions& options, std::ostream& report, std::ostream& errors) {
    int build = 0;
    if (!ParseBuild(options.build, &build)) {
        errors << "--build needs a whole number from 1 to " << INT_MAX << "\n";
        return kExitUsage;
    }
    ReleaseKey key;
    if (!options.keyPath.empty() && !LoadPrivateKey(options.keyPath, &key, errors))
        return kExitUsage;
    std::string exe;
    if (!ReadWholeFile(options.exePath, &exe)) {
        errors << "cannot read " << options.exePath << "\n";
        return kExitUsage;
    }
    // The launcher checks the same before it replaces itself with a download.
    if (exe.size() < static_cast<size_t>(kMinLauncherSize) || exe.compare(0, 2, "MZ") != 0) {
        errors << options.exePath << " is not a Windows executable (no \"MZ\" start, or under "
               << kMinLauncherSize << " bytes)\n";
        return kExitProblems;
    }
    std::string offer = std::to_string(build) + "\n";
    if (!options.keyPath.empty()) {
        char prefix[kBuildPrefixSize];
        const size_t prefixLength = WriteBuildPrefix(build, prefix);
        const std::string line = SignatureLine(key, std::string(prefix, prefixLength) + exe);
        if (line.empty()) {
            errors << "cannot sign the launcher\n";
            return kExitProblems;
        }
        offer += line + "\n";
    }
    const fs::path share = fs::path(options.outDir) / kShareTreeName;
    std::error_code error;
    fs::create_directories(share, error);
    if (!ReplaceFile(share / kLauncherFileName, exe, errors) ||
        !ReplaceFile(share / kBuildNumberFileName, offer, errors)) {
        return kExitProblems;
    }
    report << "offered launcher build " << build << (options.keyPath.empty() ? "" : ", signed,")
           << " in " << share.string() << "\n";
    return kExitOk;
}

OfferCheck CheckLauncherOffer(const std::string& outDir, const ReleaseKey& key, std::string* text) {
    const fs::path share = fs::path(outDir) / kShareTreeName;
    std::string offerText, exe;
    if (!ReadWholeFile(share / kBuildNumberFileName, &offerText) ||
        !ReadWholeFile(share / kLauncherFileName, &exe)) {
        return OfferCheck::Absent;
    }
    LauncherOffer offer;
    if (!ReadLauncherOffer(offerText.data(), offerText.size(), &offer)) {
        *text = "no build number with one signature line after it";
        return OfferCheck::Bad;
    }
    if (!VerifySignature(key, offer.signature,
                         std::string(offer.signedPrefix, offer.signedPrefixLength) + exe)) {
        *text = "the signature does not match build " + std::to_string(offer.build) + " and " +
                kLauncherFileName + " under this key";
        return OfferCheck::Bad;
    }
    *text = std::to_string(offer.build);
    return OfferCheck::Signed;
}
