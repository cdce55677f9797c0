// skh_publish: turns a game client folder into the tree the launcher patches from, checks a
// published tree, and makes release keys and launcher offers.
#include <limits.h>
#include <stdio.h>
#include <string.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "base/decimal.h"
#include "base/game_path.h"
#include "base/own_files.h"
#include "base/server_files.h"
#include "patch/chunk_index.h"
#include "patch/manifest.h"
#include "patch/self_update.h"
#include "patch/signed_release.h"
#include "tools/keygen.h"
#include "tools/launcher_offer.h"
#include "tools/publish.h"
#include "tools/publish_names.h"
#include "tools/signing.h"
#include "tools/verify.h"

namespace {

constexpr int kMaxThreads = 256;
constexpr size_t kHelpWidth = 79;

// Adds text to *help as lines of at most kHelpWidth columns: the first starts with `first`,
// the others with `rest`. Words are never split, and a single blank separates them.
void Wrap(std::string* help, const std::string& first, const std::string& rest,
          const std::string& text) {
    std::istringstream words(text);
    std::string line = first, word;
    bool empty = true;
    while (words >> word) {
        if (!empty && line.size() + 1 + word.size() > kHelpWidth) {
            *help += line + "\n";
            line = rest;
            empty = true;
        }
        line += (empty ? "" : " ") + word;
        empty = false;
    }
    *help += line + "\n";
}

// Built from the constants it names, so the help cannot drift from what the tool does.
void PrintHelp(FILE* out) {
    const std::string full = std::string("OUT_DIR/") + kFullTreeName + "/";
    const std::string share = std::string("OUT_DIR/") + kShareTreeName + "/";
    const std::string limit = std::to_string(kDigestSizeLimit);
    std::string ownFiles;
    for (const char* name : kLauncherOwnFiles)
        ownFiles += (ownFiles.empty() ? "" : ", ") + std::string(name);
    std::string help =
        "Usage:\n"
        "  skh_publish publish [--version TEXT] [--threads N] [--key PRIVATE_PEM]\n"
        "                      CLIENT_DIR OUT_DIR\n"
        "  skh_publish verify [--threads N] [--key PUBLIC_DER [--launcher-key PUBLIC_DER]]\n"
        "                     OUT_DIR\n"
        "  skh_publish keygen KEY_DIR\n"
        "  skh_publish launcher --build N [--key PRIVATE_PEM] LAUNCHER_EXE OUT_DIR\n"
        "  skh_publish --help\n\n";
    Wrap(&help, "", "  ", "publish copies every file below CLIENT_DIR to " + full + " and writes");
    Wrap(&help, "  ", "    ",
         full + kManifestFileName + ": one line per file, path|size|sha1, sorted by bytes; \"" +
             kBigDigestField + "\" instead of the SHA-1 above " + limit +
             " bytes (the launcher checks only the size of such files) unless signed");
    Wrap(&help, "  ", "    ",
         full + kVersionFileName +
             ": the version line; a change makes every launcher check the SHA-1 of each file "
             "once");
    Wrap(&help, "  ", "    ",
         full + kChunkIndexFolder + ": a chunk index of each file above " + limit +
             " bytes, named on a \"" + kChunksTag +
             "\" line before its entry: launchers fetch only its changed parts");
    Wrap(&help, "  ", "  ",
         std::string("OUT_DIR is the web root of the patch host (the folder that also holds ") +
             kShareTreeName + "/). The new tree is built in a hidden folder beside " +
             kFullTreeName +
             "/, flushed to disk and swapped in only when complete; a failed run leaves the "
             "served tree as it was.");
    Wrap(&help, "  --version TEXT  ", std::string(18, ' '),
         "the new version line; without it the number at the end of the published version "
         "goes up by one (1.0.9 -> 1.0.10), and a first publish starts at 1. Republishing "
         "changed files under the same version is refused.");
    Wrap(&help, "  --key PRIVATE_PEM  ", "  ", "sign the manifest (see Signing below).");
    Wrap(&help, "  ", "    ",
         "Left out: the launcher's own files at the top of CLIENT_DIR: " + ownFiles + ".");
    Wrap(&help, "  ", "  ",
         "Names are read as UTF-8 and published as Windows-1252, the launcher's character "
         "set; the served files carry the Windows-1252 bytes, which is what the web server "
         "finds for the launcher's %XX-encoded requests. A link to a file inside CLIENT_DIR "
         "is published under the link's own name with the bytes of its target. Each file is "
         "opened once, without following a link, and must still be the file that was "
         "scanned.");
    Wrap(&help, "  ", "    ",
         std::string("Refused, with the file named and nothing published: characters "
                     "Windows-1252 cannot hold, or names that are not UTF-8; \"|\", line "
                     "breaks, control characters, \":\", \"\\\", < > \" ? *; a name ending in a "
                     "dot or blank; a \"..\" part; device names (NUL, COM1...); a first "
                     "character \"#\" (a comment to the launcher); a name ending in ") +
             kPartFileSuffix + " (the launcher's own, for big files); " + kManifestFileName +
             " and " + kVersionFileName +
             " at the top (the tree's own files); names that differ only in case; a local "
             "path over " +
             std::to_string(kLocalPathLimit) + " characters in the assumed game folder");
    Wrap(&help, "      ", "", kAssumedGameDir);
    Wrap(&help, "    ", "    ",
         "links whose target lies outside CLIENT_DIR (named with the target), links to "
         "folders, anything that is not a regular file, and the private key given with --key "
         "under any name. A client folder without any file is not published.");
    help += "\n";
    Wrap(&help, "", "  ",
         "verify checks " + full +
             " against its manifest: every listed file present with its size and SHA-1, the "
             "digest field as publish writes it, no unlisted file, a usable version line.");
    Wrap(&help, "  --key PUBLIC_DER  ", std::string(20, ' '),
         std::string("also check the manifest's signature, that ") + kVersionFileName +
             "'s line is the signed version, and, when " + share + " holds both " +
             kBuildNumberFileName + " and " + kLauncherFileName +
             ", the signature of that launcher offer.");
    Wrap(&help, "  --launcher-key PUBLIC_DER  ", std::string(20, ' '),
         "check the launcher offer with this key instead: the old one, while the offer is "
         "still the launcher that brought a new key.");
    help += "\n";
    Wrap(&help, "  --threads N  ", std::string(14, ' '),
         "files hashed at once, 1 to " + std::to_string(kMaxThreads) + " (default: one per core)");
    help += "\n";
    Wrap(&help, "", "",
         "Signing (launchers built with SKH_RELEASE_KEY accept only signed releases; others "
         "ignore the signature lines, which are \"#\" comments to them):");
    Wrap(&help, "", "  ",
         "keygen makes an RSA " + std::to_string(kKeyBits) + " key pair: KEY_DIR/" +
             kPrivateKeyName + " (PKCS#8, mode 0600; keep it offline), KEY_DIR/" + kPublicKeyName +
             " (the launcher's build setting SKH_RELEASE_KEY names it) and the sequence "
             "counter KEY_DIR/" +
             kSequenceCounterName +
             " at 0 (a counter already there is kept). It never replaces an existing key.");
    Wrap(&help, "", "  ",
         std::string("publish --key adds \"") + kSequenceTag + "N\" and \"" + kVersionTag +
             "V\" lines at the top of " + kManifestFileName + " and a last line \"" +
             kSignatureTag +
             "...\" with the SHA-256/PKCS#1 v1.5 signature of every byte before it, in "
             "hexadecimal, and lists the SHA-1 of every file, also above " +
             limit + " bytes. N is one above the number in " + kSequenceCounterName +
             " beside the private key, which publish raises to N first; it refuses an N not "
             "above the sequence of the manifest already in OUT_DIR.");
    Wrap(&help, "", "  ",
         "launcher copies LAUNCHER_EXE (a whole Windows executable: consistent PE headers, "
         "every section inside the file) to " +
             share + kLauncherFileName + ", then writes " + share + kBuildNumberFileName +
             ": the build number N (1 to " + std::to_string(INT_MAX) + ") and, with --key, \"" +
             kSizeTag + "S\" and \"" + kSha256Tag + "H\" lines (the executable's size and " +
             "SHA-256) and a \"" + kSignatureTag + "...\" line over the text \"" + kBuildTag +
             "N\", \"" + kSizeTag + "S\" and \"" + kSha256Tag +
             "H\", each ended by a line feed. Each file is written under a hidden name and "
             "renamed into place, the executable first.");
    help += "\n";
    Wrap(&help, "", "",
         "Exit status: " + std::to_string(kExitOk) + " done; " + std::to_string(kExitProblems) +
             " refused names or links, failed copies, a tree that fails verify, an existing "
             "key, a launcher that is no executable, a sequence counter that refuses; " +
             std::to_string(kExitUsage) +
             " wrong usage, an unusable key or build number. A progress line goes to stderr "
             "on long runs.");
    fputs(help.c_str(), out);
}

int UsageError(const std::string& text) {
    fprintf(stderr, "skh_publish: %s (see skh_publish --help)\n", text.c_str());
    return kExitUsage;
}

bool ParseThreads(const char* text, int* threads) {
    long long value = 0;
    if (!ParseDecimal(text, strlen(text), 1, kMaxThreads, &value))
        return false;
    *threads = static_cast<int>(value);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return UsageError("no command");
    std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        PrintHelp(stdout);
        return kExitOk;
    }
    if (command != "publish" && command != "verify" && command != "keygen" && command != "launcher")
        return UsageError("unknown command");

    PublishOptions options = {"", "", "", 0, ""};
    std::string build, launcherKey;
    std::vector<std::string> positional;
    for (int i = 2; i < argc; ++i) {
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            PrintHelp(stdout);
            return kExitOk;
        } else if (strcmp(argv[i], "--version") == 0 && command == "publish") {
            if (++i == argc)
                return UsageError("--version needs a text");
            options.version = argv[i];
            if (options.version.empty())
                return UsageError("--version needs a text");
        } else if (strcmp(argv[i], "--threads") == 0 && command != "launcher" &&
                   command != "keygen") {
            if (++i == argc || !ParseThreads(argv[i], &options.threads))
                return UsageError("--threads needs a number from 1 to " +
                                  std::to_string(kMaxThreads));
        } else if (strcmp(argv[i], "--key") == 0 && command != "keygen") {
            if (++i == argc || argv[i][0] == '\0')
                return UsageError("--key needs a key file");
            options.keyPath = argv[i];
        } else if (strcmp(argv[i], "--launcher-key") == 0 && command == "verify") {
            if (++i == argc || argv[i][0] == '\0')
                return UsageError("--launcher-key needs a key file");
            launcherKey = argv[i];
        } else if (strcmp(argv[i], "--build") == 0 && command == "launcher") {
            if (++i == argc)
                return UsageError("--build needs a number");
            build = argv[i];
        } else if (strncmp(argv[i], "--", 2) == 0) {
            return UsageError("unknown option");
        } else {
            positional.push_back(argv[i]);
        }
    }
    if (command == "publish") {
        if (positional.size() != 2)
            return UsageError("publish needs CLIENT_DIR and OUT_DIR");
        options.clientDir = positional[0];
        options.outDir = positional[1];
        return PublishClient(options, std::cout, std::cerr);
    }
    if (command == "keygen") {
        if (positional.size() != 1)
            return UsageError("keygen needs KEY_DIR");
        return MakeKeyPair(positional[0], std::cout, std::cerr);
    }
    if (command == "launcher") {
        if (build.empty() || positional.size() != 2)
            return UsageError("launcher needs --build N, LAUNCHER_EXE and OUT_DIR");
        return ShipLauncher({build, options.keyPath, positional[0], positional[1]}, std::cout,
                            std::cerr);
    }
    if (positional.size() != 1)
        return UsageError("verify needs OUT_DIR");
    if (!launcherKey.empty() && options.keyPath.empty())
        return UsageError("--launcher-key goes with --key");
    return VerifyTree(positional[0], options.threads, options.keyPath, launcherKey, std::cout,
                      std::cerr);
}
