// The publish command: a client folder turned into the tree the launcher patches from.
#include "tools/publish.h"

#include <errno.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <system_error>
#include <vector>

#include "base/server_files.h"
#include "patch/manifest.h"
#include "patch/signed_release.h"
#include "tools/chunk_index_writer.h"
#include "tools/file_jobs.h"
#include "tools/publish_names.h"
#include "tools/signing.h"
#include "tools/tree_swap.h"

namespace fs = std::filesystem;

namespace {

// One file of the client on its way to the served tree.
struct ClientFile {
    std::string diskPath;   // relative, as the client folder names it (UTF-8)
    std::string published;  // relative, Windows-1252, as the manifest and the server name it
    FileJob copy;           // from the file the scan found (a link's target) into the staging
};

// The tree that is served now, which a publish replaces.
struct ServedTree {
    std::string version;   // its first line
    std::string manifest;  // whole
};

bool IsSameOrInside(const fs::path& inner, const fs::path& outer) {
    auto mismatch = std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end());
    return mismatch.first == outer.end();
}

void Refuse(std::ostream& errors, const std::string& name, const std::string& reason) {
    errors << "refused: \"" << PrintableName(name) << "\": " << reason << "\n";
}

// The file a client entry publishes, or the reason it publishes none: a link is followed only
// to a file inside the client, and nothing may publish the private key.
std::string SourceProblem(const fs::directory_entry& entry, const fs::path& root,
                          const FileId& keyFile, fs::path* source, struct stat* status) {
    if (stat(entry.path().c_str(), status) != 0)
        return errno == ENOENT ? "a link that leads nowhere" : strerror(errno);
    if (!S_ISREG(status->st_mode))
        return "not a regular file";
    if (IdOf(*status) == keyFile)
        return "the private key given with --key, under another name";
    std::error_code error;
    *source = entry.path();
    if (entry.is_symlink(error)) {
        *source = fs::canonical(*source, error);
        if (error || !IsSameOrInside(*source, root))
            return "a link to \"" + source->string() + "\", outside the client folder";
    }
    return "";
}

// Scans the client folder; every file that cannot be published is refused with its reason.
bool ScanClient(const fs::path& root, const FileId& keyFile, std::vector<ClientFile>* files,
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
        if (it->is_directory(error)) {
            if (it->is_symlink(error)) {
                // Not followed: a link could lead out of the client or around in a loop.
                Refuse(errors, disk, "a link to a folder; copy the folder in instead");
                ok = false;
                it.disable_recursion_pending();
            }
            continue;
        }
        fs::path source;
        struct stat status;
        std::string problem = SourceProblem(*it, root, keyFile, &source, &status);
        std::string published;
        if (problem.empty() && !Utf8ToWindows1252(disk, &published)) {
            problem =
                "the launcher reads names as Windows-1252, and this one is not UTF-8 text that "
                "Windows-1252 can hold";
        }
        if (problem.empty() && IsLauncherOwnFile(published)) {
            leftOut->push_back(disk);
            continue;
        }
        if (problem.empty())
            problem = PublishedPathProblem(published);
        if (!problem.empty()) {
            Refuse(errors, disk, problem);
            ok = false;
            continue;
        }
        FileJob copy;
        copy.source = source.string();
        copy.sourceId = IdOf(status);
        copy.expectedBytes = status.st_size;
        files->push_back({disk, published, copy});
    }
    return ok;
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

ServedTree ReadServedTree(const fs::path& live) {
    ServedTree served;
    std::string versionText;
    ReadWholeFile(live / kVersionFileName, &versionText);
    ReadWholeFile(live / kManifestFileName, &served.manifest);
    served.version = FirstLine(versionText);
    return served;
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

// Copies every client file into the staging folder, hashing it as it is read.
bool CopyClientFiles(std::vector<ClientFile>* files, const std::string& staging, bool everyDigest,
                     int threads, std::ostream& errors) {
    std::vector<FileJob*> jobs;
    for (ClientFile& file : *files) {
        const fs::path destination = fs::path(staging) / file.published;
        std::error_code error;
        fs::create_directories(destination.parent_path(), error);
        if (error) {
            errors << "cannot create " << destination.parent_path().string() << ": "
                   << error.message() << "\n";
            return false;
        }
        file.copy.destination = destination.string();
        file.copy.everyDigest = everyDigest;
        jobs.push_back(&file.copy);
    }
    RunFileJobs(jobs, threads, "publishing");
    bool copied = true;
    for (const ClientFile& file : *files) {
        if (!file.copy.error.empty()) {
            errors << file.copy.error << "\n";
            copied = false;
        }
    }
    return copied;
}

// The entry lines, each from the copy's own size and digest, so that a file that changed
// while it was read is described as it was copied. A big file's line follows the line naming
// its chunk index, written into the staging folder from the copy: launchers sync such a file
// by its changed chunks.
bool ManifestEntries(const std::vector<ClientFile>& files, const std::string& staging,
                     bool everyDigest, std::string* entries, std::ostream& errors) {
    for (const ClientFile& file : files) {
        if (file.copy.bytes > kDigestSizeLimit) {
            std::string error;
            const std::string line =
                PublishChunkIndex(file.copy.destination, staging, file.published, &error);
            if (line.empty()) {
                errors << error << "\n";
                return false;
            }
            *entries += line;
        }
        *entries += ManifestLine(file.published, file.copy.bytes, file.copy.digest, everyDigest);
    }
    return true;
}

// Puts the sequence and version lines above the entries and the signature line below them.
bool SignManifest(const ReleaseKey& key, const std::string& keyPath, const std::string& version,
                  const ServedTree& served, std::string* manifest, long long* sequence,
                  std::ostream& errors) {
    SignedManifest servedRelease;
    const bool servedSigned =
        ReadSignedManifest(served.manifest.data(), served.manifest.size(), &servedRelease);
    if (!TakeNextSequence(keyPath, servedSigned ? servedRelease.sequence : 0, sequence, errors))
        return false;
    *manifest =
        kSequenceTag + std::to_string(*sequence) + "\n" + kVersionTag + version + "\n" + *manifest;
    const std::string line = SignatureLine(key, *manifest);
    if (line.empty()) {
        errors << "cannot sign the manifest\n";
        return false;
    }
    *manifest += line + "\n";
    return true;
}

// The tree's own files beside the copies; then every folder is flushed, the tree complete.
bool WriteTreeFiles(const std::string& staging, const std::string& manifest,
                    const std::string& version, std::ostream& errors) {
    if (!WriteWholeFile((fs::path(staging) / kManifestFileName).string(), manifest) ||
        !WriteWholeFile((fs::path(staging) / kVersionFileName).string(), version + "\n")) {
        errors << "cannot write the manifest or the version file\n";
        return false;
    }
    return FlushFolders(staging, errors);
}

// The client folder and the web root as real paths, which must not lie inside each other.
bool ChooseFolders(const PublishOptions& options, fs::path* clientRoot, fs::path* outRoot,
                   std::ostream& errors) {
    std::error_code error;
    if (!fs::is_directory(options.clientDir, error)) {
        errors << "client folder " << options.clientDir << " is not a folder\n";
        return false;
    }
    *clientRoot = fs::canonical(options.clientDir, error);
    *outRoot = fs::weakly_canonical(options.outDir, error);
    if (error || outRoot->empty()) {
        errors << "cannot use output folder " << options.outDir << "\n";
        return false;
    }
    if (IsSameOrInside(*outRoot, *clientRoot) ||
        IsSameOrInside(*clientRoot, *outRoot / kFullTreeName)) {
        errors << "the output folder and the client folder must not lie inside each other\n";
        return false;
    }
    fs::create_directories(*outRoot, error);
    return true;
}

}  // namespace

int PublishClient(const PublishOptions& options, std::ostream& report, std::ostream& errors) {
    fs::path clientRoot, outRoot;
    ReleaseKey key;
    const bool signing = !options.keyPath.empty();
    if (!ChooseFolders(options, &clientRoot, &outRoot, errors) ||
        (signing && !LoadPrivateKey(options.keyPath, &key, errors)))
        return kExitUsage;

    std::vector<ClientFile> files;
    std::vector<std::string> leftOut;
    bool namesOk = ScanClient(clientRoot, key.file, &files, &leftOut, errors);
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

    const fs::path live = outRoot / kFullTreeName;
    const ServedTree served = ReadServedTree(live);
    std::string version;
    if (!ChooseVersion(options, served.version, &version, errors))
        return kExitUsage;

    StagingFolder staging;
    std::string manifest;
    if (!MakeStagingFolder(outRoot.string(), &staging, errors) ||
        !CopyClientFiles(&files, staging.path, signing, options.threads, errors) ||
        !ManifestEntries(files, staging.path, signing, &manifest, errors)) {
        errors << "nothing was published\n";
        return kExitProblems;
    }
    if (version == served.version && EntryLines(manifest) != EntryLines(served.manifest)) {
        // Launchers check digests only when the version line changes.
        errors << "version \"" << PrintableName(version)
               << "\" is already published with other files; a changed client needs a new "
                  "version, or launchers would not check the changed files\n";
        return kExitUsage;
    }
    long long sequence = 0;
    if ((signing &&
         !SignManifest(key, options.keyPath, version, served, &manifest, &sequence, errors)) ||
        !WriteTreeFiles(staging.path, manifest, version, errors)) {
        errors << "nothing was published\n";
        return kExitProblems;
    }
    if (!SwapInTree(&staging, live.string(), errors))
        return kExitProblems;

    int64_t totalBytes = 0;
    for (const ClientFile& file : files)
        totalBytes += file.copy.bytes;
    for (const std::string& name : leftOut)
        report << "left out the launcher's own file " << PrintableName(name) << "\n";
    report << "published " << files.size() << " files (" << totalBytes << " bytes) as version "
           << PrintableName(version) << " in " << live.string() << "\n";
    if (signing)
        report << "signed with sequence number " << sequence << "\n";
    return kExitOk;
}
