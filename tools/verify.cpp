// The verify command: a published tree held against its manifest, by the launcher's reader.
#include "tools/verify.h"

#include <filesystem>
#include <set>
#include <system_error>
#include <vector>

#include "base/digest.h"
#include "base/server_files.h"
#include "base/text_lines.h"
#include "patch/chunk_index.h"
#include "patch/manifest.h"
#include "patch/signed_release.h"
#include "tools/chunk_index_writer.h"
#include "tools/file_jobs.h"
#include "tools/launcher_offer.h"
#include "tools/publish.h"
#include "tools/publish_names.h"
#include "tools/signing.h"

namespace fs = std::filesystem;

namespace {

// What verify found wrong, each problem named with its file.
struct Problems {
    std::ostream& errors;
    int count;
    void Add(const std::string& name, const std::string& text) {
        errors << "\"" << PrintableName(name) << "\": " << text << "\n";
        ++count;
    }
};

// One file the manifest lists with a digest, and the hashing of the served copy.
struct ListedFile {
    std::string name;
    std::string digest;
    FileJob check;
};

void CheckSignature(const ReleaseKey& key, const std::string& manifest, bool isSigned,
                    const SignedManifest& release, const std::string& version, Problems* problems) {
    const std::string signedVersion =
        isSigned ? std::string(release.version, release.versionLength) : "";
    if (!isSigned) {
        problems->Add(kManifestFileName,
                      "not signed, or its sequence, version and signature lines are not in their "
                      "one form");
    } else if (!VerifySignature(key, release.signature, manifest.substr(0, release.signedLength))) {
        problems->Add(kManifestFileName,
                      "the signature does not match the manifest under this key");
    } else if (signedVersion != version) {
        problems->Add(kVersionFileName,
                      "differs from the signed version \"" + PrintableName(signedVersion) + "\"");
    }
}

// Reads the manifest with the launcher's own reader, so verify accepts exactly what the
// launcher accepts, and checks each entry's name, size and digest field by publish's rules.
std::set<std::string> CheckEntries(std::string manifest, const fs::path& live, bool everyDigest,
                                   std::vector<ListedFile>* hashed, Problems* problems) {
    std::set<std::string> listed;
    manifest.push_back('\0');
    char* cursor = &manifest[0];
    int lineNumber = 0;
    std::string chunksLine;  // a "#@chunks" line, naming the index of the next entry
    while (char* line = NextLine(&cursor)) {
        ++lineNumber;
        const bool comment = line[0] == '#';
        ManifestEntry entry;
        if (!ParseManifestEntry(line, &entry)) {
            if (std::string(line).rfind(kChunksTag, 0) == 0)
                chunksLine = line;
            else if (!comment)
                problems->Add(kManifestFileName,
                              "line " + std::to_string(lineNumber) +
                                  " is not an entry and is ignored by the launcher");
            continue;
        }
        const std::string entryChunksLine = chunksLine;
        chunksLine.clear();
        const std::string path = entry.path;
        const std::string digest = entry.digest;
        const std::string pathProblem = PublishedPathProblem(path);
        if (!pathProblem.empty() || !listed.insert(path).second) {
            problems->Add(path, pathProblem.empty() ? "listed more than once" : pathProblem);
            continue;
        }
        std::error_code error;
        const fs::path file = live / path;
        if (!fs::is_regular_file(file, error)) {
            problems->Add(
                path, fs::exists(file, error) ? "listed, but not a file" : "listed, but missing");
            continue;
        }
        const int64_t size = static_cast<int64_t>(fs::file_size(file, error));
        if (!entryChunksLine.empty()) {
            std::string indexPath;
            const std::string indexProblem =
                ChunkIndexProblem(live, entryChunksLine, path, size, &indexPath);
            listed.insert(indexPath);
            if (!indexProblem.empty())
                problems->Add(path, indexProblem);
        }
        const bool listsDigest = ListsDigest(entry.size, everyDigest);
        const bool lowerHex = digest.size() == kDigestLength &&
                              digest.find_first_not_of("0123456789abcdef") == std::string::npos;
        if (size != entry.size) {
            problems->Add(path, "size is " + std::to_string(size) + " bytes, the manifest says " +
                                    std::to_string(entry.size));
        } else if (listsDigest ? !lowerHex : digest != kBigDigestField) {
            problems->Add(path, "digest \"" + PrintableName(digest) + "\" where publish writes " +
                                    (listsDigest ? "40 lowercase hexadecimal digits"
                                                 : "\"" + std::string(kBigDigestField) + "\""));
        } else if (listsDigest) {
            FileJob check;
            check.source = file.string();
            check.everyDigest = true;
            check.expectedBytes = size;
            hashed->push_back({path, digest, check});
        }
    }
    return listed;
}

void CheckUnlisted(const fs::path& live, const std::set<std::string>& listed, Problems* problems) {
    std::error_code error;
    fs::recursive_directory_iterator it(live, error), end;
    for (; !error && it != end; it.increment(error)) {
        if (it->is_directory(error))
            continue;
        std::string name = it->path().lexically_relative(live).generic_string();
        if (name != kManifestFileName && name != kVersionFileName && listed.count(name) == 0)
            problems->Add(name, "not listed in the manifest");
    }
    if (error)
        problems->Add(live.string(), "cannot be read: " + error.message());
}

void CheckDigests(std::vector<ListedFile>* files, int threads, Problems* problems) {
    std::vector<FileJob*> jobs;
    for (ListedFile& file : *files)
        jobs.push_back(&file.check);
    RunFileJobs(jobs, threads, "verifying");
    for (const ListedFile& file : *files) {
        if (!file.check.error.empty()) {
            problems->Add(file.name, file.check.error);
        } else if (file.check.digest != file.digest) {
            problems->Add(file.name,
                          "SHA-1 is " + file.check.digest + ", the manifest says " + file.digest);
        }
    }
}

}  // namespace

int VerifyTree(const std::string& outDir, int threads, const std::string& keyPath,
               const std::string& launcherKeyPath, std::ostream& report, std::ostream& errors) {
    const fs::path live = fs::path(outDir) / kFullTreeName;
    const bool checkSignatures = !keyPath.empty();
    ReleaseKey key, launcherKey;
    if ((checkSignatures && !LoadPublicKey(keyPath, &key, errors)) ||
        (!launcherKeyPath.empty() && !LoadPublicKey(launcherKeyPath, &launcherKey, errors)))
        return kExitUsage;
    std::string manifest, versionText;
    if (!ReadWholeFile(live / kManifestFileName, &manifest)) {
        errors << "cannot read " << (live / kManifestFileName).string() << "\n";
        return kExitProblems;
    }
    Problems problems = {errors, 0};
    if (!ReadWholeFile(live / kVersionFileName, &versionText) || versionText.empty()) {
        problems.Add(kVersionFileName,
                     "missing or empty; launchers would report the server offline");
    } else if (!VersionProblem(FirstLine(versionText)).empty()) {
        problems.Add(kVersionFileName, VersionProblem(FirstLine(versionText)));
    }
    SignedManifest release = {};
    const bool isSigned = ReadSignedManifest(manifest.data(), manifest.size(), &release);
    if (checkSignatures)
        CheckSignature(key, manifest, isSigned, release, FirstLine(versionText), &problems);
    std::vector<ListedFile> hashed;
    const std::set<std::string> listed = CheckEntries(manifest, live, isSigned, &hashed, &problems);
    CheckUnlisted(live, listed, &problems);
    CheckDigests(&hashed, threads, &problems);
    std::string offerText;
    const OfferCheck offer =
        checkSignatures
            ? CheckLauncherOffer(outDir, launcherKeyPath.empty() ? key : launcherKey, &offerText)
            : OfferCheck::Absent;
    if (offer == OfferCheck::Bad)
        problems.Add(std::string(kShareTreeName) + "/" + kBuildNumberFileName, offerText);
    if (problems.count > 0) {
        errors << "verify: " << problems.count << " problem" << (problems.count == 1 ? "" : "s")
               << " in " << live.string() << "\n";
        return kExitProblems;
    }
    report << "verify: " << listed.size() << " files match the manifest of version "
           << PrintableName(FirstLine(versionText)) << " in " << live.string() << "\n";
    if (checkSignatures)
        report << "verify: the manifest's signature holds, sequence " << release.sequence << "\n";
    if (offer == OfferCheck::Signed)
        report << "verify: the launcher offer of build " << offerText << " is signed\n";
    return kExitOk;
}
