// The publishing tool's main commands: publish a client tree, verify a published tree.
#include "tools/publish.h"

#include <fcntl.h>
#include <stdio.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <system_error>
#include <vector>

#include "base/server_files.h"
#include "base/text_lines.h"
#include "patch/chunk_index.h"
#include "patch/manifest.h"
#include "patch/signed_release.h"
#include "tools/chunk_index_writer.h"
#include "tools/file_jobs.h"
#include "tools/publish_names.h"
#include "tools/signing.h"

namespace fs = std::filesystem;

namespace {

constexpr char kStagingName[] = "." SKH_FULL_TREE ".new";

struct ClientFile {
    std::string diskPath;   // relative, as the client folder names it (UTF-8)
    fs::path source;        // what is read: the file, or the target of a link to one
    std::string published;  // relative, Windows-1252, as the manifest and the server name it
    int64_t size;
};

bool IsSameOrInside(const fs::path& inner, const fs::path& outer) {
    auto mismatch = std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end());
    return mismatch.first == outer.end();
}

void Refuse(std::ostream& errors, const std::string& name, const std::string& reason) {
    errors << "refused: \"" << PrintableName(name) << "\": " << reason << "\n";
}

// Windows keeps one file for names that differ only in case; two such names in the client
// would overwrite each other in the game folder.
bool CheckCaseCollisions(const std::vector<ClientFile>& files, std::ostream& errors) {
    std::map<std::string, std::string> seen;  // folded name -> name, folders with a "/"
    bool ok = true;
    auto claim = [&](const std::string& name, const std::string& shown, const ClientFile& file) {
        auto inserted = seen.emplace(FoldCaseWindows1252(name), shown);
        if (!inserted.second && inserted.first->second != shown) {
            Refuse(errors, file.diskPath,
                   "Windows would take it for \"" + PrintableName(inserted.first->second) +
                       "\", which differs only in case");
            ok = false;
        }
    };
    for (const ClientFile& file : files) {
        for (size_t slash = file.published.find('/'); slash != std::string::npos;
             slash = file.published.find('/', slash + 1)) {
            std::string folder = file.published.substr(0, slash);
            claim(folder, folder + "/", file);
        }
        claim(file.published, file.published, file);
    }
    return ok;
}

bool CollectClientFiles(const fs::path& root, std::vector<ClientFile>* files,
                        std::vector<std::string>* leftOut, std::ostream& errors) {
    bool ok = true;
    std::error_code error;
    fs::recursive_directory_iterator it(root, error), end;
    if (error) {
        errors << "cannot read " << root.string() << ": " << error.message() << "\n";
        return false;
    }
    for (; it != end; it.increment(error)) {
        if (error) {
            errors << "cannot read the client folder: " << error.message() << "\n";
            return false;
        }
        const std::string disk = it->path().lexically_relative(root).generic_string();
        fs::file_status link = it->symlink_status(error);
        fs::file_status target = it->status(error);
        if (fs::is_directory(target)) {
            if (fs::is_symlink(link)) {
                // Not followed: a link could lead out of the client or around in a loop.
                Refuse(errors, disk, "a link to a folder; copy the folder in instead");
                ok = false;
                it.disable_recursion_pending();
            }
            continue;
        }
        if (!fs::is_regular_file(target)) {
            Refuse(errors, disk,
                   fs::exists(target) ? "not a regular file" : "a link that leads nowhere");
            ok = false;
            continue;
        }
        fs::path source = it->path();
        if (fs::is_symlink(link)) {
            source = fs::canonical(source, error);
            if (error || !IsSameOrInside(source, root)) {
                // Its target would be published to every player.
                Refuse(errors, disk,
                       "a link to \"" + source.string() + "\", outside the client folder");
                ok = false;
                continue;
            }
        }
        std::string published;
        if (!Utf8ToWindows1252(disk, &published)) {
            Refuse(errors, disk,
                   "the launcher reads names as Windows-1252, and this one is not UTF-8 text "
                   "that Windows-1252 can hold");
            ok = false;
            continue;
        }
        if (IsLauncherOwnFile(published)) {
            leftOut->push_back(disk);
            continue;
        }
        std::string problem = PublishedPathProblem(published);
        if (!problem.empty()) {
            Refuse(errors, disk, problem);
            ok = false;
            continue;
        }
        std::uintmax_t size = fs::file_size(it->path(), error);
        if (error) {
            errors << "cannot read " << PrintableName(disk) << ": " << error.message() << "\n";
            ok = false;
            continue;
        }
        files->push_back({disk, source, published, static_cast<int64_t>(size)});
    }
    return ok;
}

// Puts the finished tree in place of the served one. Exchanging the two names in one step
// means a launcher never finds the tree missing; the fallback leaves a short gap.
bool SwapInTree(const fs::path& staging, const fs::path& live, std::ostream& errors) {
    std::error_code error;
    if (!fs::exists(live, error)) {
        fs::rename(staging, live, error);
    } else if (renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, live.c_str(), RENAME_EXCHANGE) == 0) {
        fs::remove_all(staging, error);
        error.clear();
    } else {
        fs::path old = live;
        old += ".old";
        fs::remove_all(old, error);
        fs::rename(live, old, error);
        if (!error)
            fs::rename(staging, live, error);
        if (!error)
            fs::remove_all(old, error);
        error.clear();
        if (!fs::exists(live / kManifestFileName))
            error = std::make_error_code(std::errc::io_error);
    }
    if (error) {
        errors << "cannot put the new tree in place at " << live.string() << ": " << error.message()
               << "\n";
        return false;
    }
    return true;
}

bool ChooseVersion(const PublishOptions& options, const std::string& oldVersion,
                   std::string* version, std::ostream& errors) {
    if (!options.version.empty()) {
        *version = options.version;
    } else if (oldVersion.empty()) {
        *version = "1";
    } else if (!BumpVersion(oldVersion, version)) {
        errors << "the published version \"" << PrintableName(oldVersion)
               << "\" does not end in a number to bump; give one with --version\n";
        return false;
    }
    std::string problem = VersionProblem(*version);
    if (!problem.empty()) {
        errors << "version \"" << PrintableName(*version) << "\": " << problem << "\n";
        return false;
    }
    return true;
}

// The sequence number of a new signed manifest: one above the served one, or 1 when the
// served tree is unsigned or absent.
bool NextSequence(const std::string& oldManifest, long long* sequence, std::ostream& errors) {
    SignedManifest old;
    if (ReadSignedManifest(oldManifest.data(), oldManifest.size(), &old)) {
        *sequence = old.sequence + 1;
    } else if (oldManifest.compare(0, 2, "#@") == 0 ||
               oldManifest.find("\n#@") != std::string::npos) {
        errors << "the served manifest.txt has signature lines that cannot be read, so the "
                  "sequence number to go on from is unknown; restore it from your last "
                  "publication\n";
        return false;
    } else {
        *sequence = 1;
    }
    if (std::to_string(*sequence).size() > kSequenceDigitsLimit) {
        errors << "the served manifest's sequence number cannot grow any further\n";
        return false;
    }
    return true;
}

// A manifest's entry lines, without the "#" lines that signing adds.
std::string EntryLines(const std::string& manifest) {
    std::istringstream in(manifest);
    std::string entries, line;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] != '#')
            entries += line + "\n";
    }
    return entries;
}

}  // namespace

int PublishClient(const PublishOptions& options, std::ostream& report, std::ostream& errors) {
    std::error_code error;
    if (!fs::is_directory(options.clientDir, error)) {
        errors << "client folder " << options.clientDir << " is not a folder\n";
        return kExitUsage;
    }
    const fs::path clientRoot = fs::canonical(options.clientDir, error);
    const fs::path outRoot = fs::weakly_canonical(options.outDir, error);
    if (error || outRoot.empty()) {
        errors << "cannot use output folder " << options.outDir << "\n";
        return kExitUsage;
    }
    const fs::path live = outRoot / kFullTreeName;
    if (IsSameOrInside(outRoot, clientRoot) || IsSameOrInside(clientRoot, live)) {
        errors << "the output folder and the client folder must not lie inside each other\n";
        return kExitUsage;
    }

    ReleaseKey key;
    const bool signing = !options.keyPath.empty();
    if (signing && !LoadPrivateKey(options.keyPath, &key, errors))
        return kExitUsage;

    std::vector<ClientFile> files;
    std::vector<std::string> leftOut;
    bool namesOk = CollectClientFiles(clientRoot, &files, &leftOut, errors);
    std::sort(files.begin(), files.end(),
              [](const ClientFile& a, const ClientFile& b) { return a.published < b.published; });
    namesOk = CheckCaseCollisions(files, errors) && namesOk;
    if (!namesOk) {
        errors << "nothing was published: rename or remove the files above\n";
        return kExitProblems;
    }

    if (files.empty()) {
        // An empty manifest reads to the launcher like a failed download of it.
        errors << "the client folder holds no file to publish\n";
        return kExitUsage;
    }

    std::string oldVersionText, oldManifest, version;
    ReadWholeFile(live / kVersionFileName, &oldVersionText);
    ReadWholeFile(live / kManifestFileName, &oldManifest);
    const std::string oldVersion = FirstLine(oldVersionText);
    if (!ChooseVersion(options, oldVersion, &version, errors))
        return kExitUsage;
    long long sequence = 0;
    if (signing && !NextSequence(oldManifest, &sequence, errors))
        return kExitProblems;

    const fs::path staging = outRoot / kStagingName;
    fs::remove_all(staging, error);
    fs::create_directories(staging, error);
    if (error) {
        errors << "cannot create " << staging.string() << ": " << error.message() << "\n";
        return kExitProblems;
    }

    std::vector<FileJob> jobs;
    for (const ClientFile& file : files) {
        fs::path destination = staging / file.published;
        fs::create_directories(destination.parent_path(), error);
        if (error) {
            errors << "cannot create " << destination.parent_path().string() << ": "
                   << error.message() << "\n";
            fs::remove_all(staging, error);
            return kExitProblems;
        }
        jobs.push_back({file.source.string(), destination.string(),
                        signing || file.size <= kDigestSizeLimit, file.size, 0, "", ""});
    }
    RunFileJobs(&jobs, options.threads, "publishing");

    std::string manifest;
    int64_t totalBytes = 0;
    bool copied = true;
    for (size_t i = 0; i < files.size(); ++i) {
        // Launchers sync a big file by its chunks, from the index named on the line before it.
        if (jobs[i].error.empty() && jobs[i].bytes > kDigestSizeLimit)
            manifest +=
                PublishChunkIndex(jobs[i].destination, staging, files[i].published, &jobs[i].error);
        if (!jobs[i].error.empty()) {
            errors << jobs[i].error << "\n";
            copied = false;
        }
        // The copy's own size and digest, so a file that changed while it was read is
        // described as it was copied.
        manifest += ManifestLine(files[i].published, jobs[i].bytes, jobs[i].digest, signing);
        totalBytes += jobs[i].bytes;
    }
    if (!copied) {
        fs::remove_all(staging, error);
        errors << "nothing was published\n";
        return kExitProblems;
    }
    if (version == oldVersion && EntryLines(manifest) != EntryLines(oldManifest)) {
        // Launchers check digests only when the version line changes.
        fs::remove_all(staging, error);
        errors << "version \"" << PrintableName(version)
               << "\" is already published with other files; a changed client needs a new "
                  "version, or launchers would not check the changed files\n";
        return kExitUsage;
    }
    if (signing) {
        manifest = kSequenceTag + std::to_string(sequence) + "\n" + kVersionTag + version + "\n" +
                   manifest;
        const std::string line = SignatureLine(key, manifest);
        if (line.empty()) {
            fs::remove_all(staging, error);
            errors << "cannot sign the manifest\n";
            return kExitProblems;
        }
        manifest += line + "\n";
    }
    if (!WriteWholeFile(staging / kManifestFileName, manifest) ||
        !WriteWholeFile(staging / kVersionFileName, version + "\n")) {
        fs::remove_all(staging, error);
        errors << "cannot write the manifest or the version file\n";
        return kExitProblems;
    }
    if (!SwapInTree(staging, live, errors)) {
        fs::remove_all(staging, error);
        return kExitProblems;
    }
    for (const std::string& name : leftOut)
        report << "left out the launcher's own file " << PrintableName(name) << "\n";
    report << "published " << files.size() << " files (" << totalBytes << " bytes) as version "
           << PrintableName(version) << " in " << live.string() << "\n";
    if (signing)
        report << "signed with sequence number " << sequence << "\n";
    return kExitOk;
}

int VerifyTree(const std::string& outDir, int threads, const std::string& keyPath,
               const std::string& launcherKeyPath, std::ostream& report, std::ostream& errors) {
    const fs::path live = fs::path(outDir) / kFullTreeName;
    const bool checkSignatures = !keyPath.empty();
    ReleaseKey key, launcherKey;
    if ((checkSignatures && !LoadPublicKey(keyPath, &key, errors)) ||
        (!launcherKeyPath.empty() && !LoadPublicKey(launcherKeyPath, &launcherKey, errors)))
        return kExitUsage;
    std::string manifest;
    if (!ReadWholeFile(live / kManifestFileName, &manifest)) {
        errors << "cannot read " << (live / kManifestFileName).string() << "\n";
        return kExitProblems;
    }
    int problems = 0;
    auto problem = [&](const std::string& name, const std::string& text) {
        errors << "\"" << PrintableName(name) << "\": " << text << "\n";
        ++problems;
    };

    std::string versionText;
    if (!ReadWholeFile(live / kVersionFileName, &versionText) || versionText.empty()) {
        problem(kVersionFileName, "missing or empty; launchers would report the server offline");
    } else if (!VersionProblem(FirstLine(versionText)).empty()) {
        problem(kVersionFileName, VersionProblem(FirstLine(versionText)));
    }
    SignedManifest signature = {};
    if (checkSignatures) {
        const bool read = ReadSignedManifest(manifest.data(), manifest.size(), &signature);
        const std::string signedVersion =
            read ? std::string(signature.version, signature.versionLength) : "";
        if (!read) {
            problem(kManifestFileName,
                    "not signed, or its sequence, version and signature lines "
                    "are not in their one form");
        } else if (!VerifySignature(key, signature.signature,
                                    manifest.substr(0, signature.signedLength))) {
            problem(kManifestFileName, "the signature does not match the manifest under this key");
        } else if (signedVersion != FirstLine(versionText)) {
            problem(kVersionFileName,
                    "differs from the signed version \"" + PrintableName(signedVersion) + "\"");
        }
    }

    // The launcher's own reader, so verify accepts exactly what the launcher accepts.
    std::set<std::string> listed;
    std::vector<FileJob> jobs;
    std::vector<std::string> jobNames, jobDigests;
    manifest.push_back('\0');
    char* cursor = &manifest[0];
    int lineNumber = 0;
    std::string chunksLine;  // a "#@chunks" line, naming the index of the next entry
    while (char* line = NextLine(&cursor)) {
        ++lineNumber;
        std::string lineText = line;
        ManifestEntry entry;
        if (!ParseManifestEntry(line, &entry)) {
            if (lineText.rfind(kChunksTag, 0) == 0)
                chunksLine = lineText;
            else if (lineText[0] != '#')
                problem(kManifestFileName, "line " + std::to_string(lineNumber) +
                                               " is not an entry and is ignored by the launcher");
            continue;
        }
        const std::string path = entry.path;
        const std::string digest = entry.digest;
        const std::string entryChunksLine = chunksLine;
        chunksLine.clear();
        std::string pathProblem = PublishedPathProblem(path);
        if (!pathProblem.empty()) {
            problem(path, pathProblem);
            continue;
        }
        if (!listed.insert(path).second) {
            problem(path, "listed more than once");
            continue;
        }
        std::error_code error;
        const fs::path file = live / path;
        if (!fs::is_regular_file(file, error)) {
            problem(path,
                    fs::exists(file, error) ? "listed, but not a file" : "listed, but missing");
            continue;
        }
        int64_t size = static_cast<int64_t>(fs::file_size(file, error));
        if (entry.size != size) {
            problem(path, "size is " + std::to_string(size) + " bytes, the manifest says " +
                              std::to_string(entry.size));
            continue;
        }
        std::string indexPath, indexProblem;
        if (!entryChunksLine.empty()) {
            indexProblem = ChunkIndexProblem(live, entryChunksLine, path, size, &indexPath);
            listed.insert(indexPath);
        }
        if (!indexProblem.empty())
            problem(path, indexProblem);
        bool lowerHex = digest.size() == kDigestLength &&
                        digest.find_first_not_of("0123456789abcdef") == std::string::npos;
        if (!lowerHex) {
            if (digest != kBigDigestField)
                problem(path, "digest \"" + PrintableName(digest) +
                                  "\" is neither 40 lowercase hexadecimal digits nor \"big\"");
            continue;
        }
        jobs.push_back({file.string(), "", true, size, 0, "", ""});
        jobNames.push_back(path);
        jobDigests.push_back(digest);
    }

    std::error_code error;
    fs::recursive_directory_iterator it(live, error), end;
    for (; !error && it != end; it.increment(error)) {
        if (it->is_directory(error))
            continue;
        std::string name = it->path().lexically_relative(live).generic_string();
        if (name != kManifestFileName && name != kVersionFileName && listed.count(name) == 0)
            problem(name, "not listed in the manifest");
    }
    if (error)
        problem(live.string(), "cannot be read: " + error.message());

    RunFileJobs(&jobs, threads, "verifying");
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (!jobs[i].error.empty()) {
            problem(jobNames[i], jobs[i].error);
        } else if (jobs[i].digest != jobDigests[i]) {
            problem(jobNames[i],
                    "SHA-1 is " + jobs[i].digest + ", the manifest says " + jobDigests[i]);
        }
    }
    std::string offerText;
    const OfferCheck offer =
        checkSignatures
            ? CheckLauncherOffer(outDir, launcherKeyPath.empty() ? key : launcherKey, &offerText)
            : OfferCheck::Absent;
    if (offer == OfferCheck::Bad)
        problem(std::string(kShareTreeName) + "/" + kBuildNumberFileName, offerText);
    if (problems > 0) {
        errors << "verify: " << problems << " problem" << (problems == 1 ? "" : "s") << " in "
               << live.string() << "\n";
        return kExitProblems;
    }
    report << "verify: " << listed.size() << " files match the manifest of version "
           << PrintableName(FirstLine(versionText)) << " in " << live.string() << "\n";
    if (checkSignatures)
        report << "verify: the manifest's signature holds, sequence " << signature.sequence << "\n";
    if (offer == OfferCheck::Signed)
        report << "verify: the launcher offer of build " << offerText << " is signed\n";
    return kExitOk;
}
