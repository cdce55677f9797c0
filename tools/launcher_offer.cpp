// The launcher command: shipping a launcher build and its offer, and checking a shipped offer.
#include "tools/launcher_offer.h"

#include <limits.h>

#include <filesystem>
#include <system_error>

#include "base/decimal.h"
#include "base/own_files.h"
#include "base/server_files.h"
#include "patch/self_update.h"
#include "patch/signed_release.h"
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
    if (exe.size() < static_cast<size_t>(kMinLauncherSize) || exe.compare(0, 2, "MZ") != 0) {
        errors << options.exePath << " is not a Windows executable (no \"MZ\" start, or under "
               << kMinLauncherSize << " bytes)\n";
        return kExitProblems;
    }
    std::string offer = std::to_string(build) + "\n";
    if (!options.keyPath.empty()) {
        char prefix[kBuildPrefixSize];
        const size_t prefixLength = WriteBuildPrefix(static_cast<int>(build), prefix);
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
