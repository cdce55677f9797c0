// The launcher command: shipping a launcher build and its offer, and checking a shipped offer.
#include "tools/launcher_offer.h"

#include <limits.h>

#include <algorithm>

#include <filesystem>
#include <system_error>

#include "base/decimal.h"
#include "base/own_files.h"
#include "base/server_files.h"
#include "patch/self_update.h"
#include "patch/signed_release.h"
#include "tools/chunk_index_writer.h"
#include "tools/file_jobs.h"
#include "tools/publish.h"

namespace fs = std::filesystem;

namespace {

// Under a hidden name renamed into place (nginx serves no dot names), so a launcher sees
// either the old file or the whole new one.
bool ReplaceFile(const fs::path& path, const std::string& content, std::ostream& errors) {
    if (WriteWholeFile(path.string(), content))
        return true;
    errors << "cannot write " << path.string() << "\n";
    return false;
}

}  // namespace

int ShipLauncher(const LauncherOptions& options, std::ostream& report, std::ostream& errors) {
    long long build = 0;
    if (!ParseDecimal(options.build.data(), options.build.size(), 1, INT_MAX, &build)) {
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
    if (!IsCompletePe(reinterpret_cast<const unsigned char*>(exe.data()),
                      std::min(exe.size(), kPeHeadReadSize), static_cast<long long>(exe.size()))) {
        errors << options.exePath
               << " is not a whole Windows executable (PE headers unreadable, or a section "
                  "beyond its end)\n";
        return kExitProblems;
    }
    std::string offer = std::to_string(build) + "\n";
    if (!options.keyPath.empty()) {
        const std::string digest = Sha256Hex(exe);
        char message[kOfferMessageSize];
        const size_t messageLength = WriteOfferMessage(
            static_cast<int>(build), static_cast<long long>(exe.size()), digest.c_str(), message);
        const std::string line =
            messageLength == 0 ? "" : SignatureLine(key, std::string(message, messageLength));
        if (line.empty()) {
            errors << "cannot sign the launcher\n";
            return kExitProblems;
        }
        offer +=
            kSizeTag + std::to_string(exe.size()) + "\n" + kSha256Tag + digest + "\n" + line + "\n";
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
        *text = "no build number with size, SHA-256 and one signature line after it";
        return OfferCheck::Bad;
    }
    if (!VerifySignature(key, offer.signature, std::string(offer.message, offer.messageLength))) {
        *text =
            "the signature does not match build " + std::to_string(offer.build) + " under this key";
        return OfferCheck::Bad;
    }
    if (static_cast<long long>(exe.size()) != offer.size || Sha256Hex(exe) != offer.sha256) {
        *text = std::string("the signed size and SHA-256 do not match ") + kLauncherFileName;
        return OfferCheck::Bad;
    }
    *text = std::to_string(offer.build);
    return OfferCheck::Signed;
}
