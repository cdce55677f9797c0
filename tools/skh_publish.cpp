// skh_publish: turns a game client folder into the tree the launcher patches from, checks a
// published tree, and makes release keys and launcher offers.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <iostream>
#include <string>
#include <vector>

#include "tools/publish.h"
#include "tools/publish_names.h"
#include "tools/signing.h"

namespace {

void PrintHelp(FILE* out) {
    fprintf(out,
            "Usage:\n"
            "  skh_publish publish [--version TEXT] [--threads N] [--key PRIVATE_PEM]\n"
            "                      CLIENT_DIR OUT_DIR\n"
            "  skh_publish verify [--threads N] [--key PUBLIC_DER [--launcher-key PUBLIC_DER]]\n"
            "                     OUT_DIR\n"
            "  skh_publish keygen KEY_DIR\n"
            "  skh_publish launcher --build N [--key PRIVATE_PEM] LAUNCHER_EXE OUT_DIR\n"
            "  skh_publish --help\n"
            "\n"
            "publish copies every file below CLIENT_DIR to OUT_DIR/skh-full/ and writes\n"
            "  OUT_DIR/skh-full/manifest.txt  one line per file, path|size|sha1, sorted by\n"
            "                                 bytes; \"big\" instead of the SHA-1 above\n"
            "                                 52428800 bytes (the launcher checks only the\n"
            "                                 size of such files) unless signed\n"
            "  OUT_DIR/skh-full/version.txt   the version line; a change makes every launcher\n"
            "                                 check the SHA-1 of each file once\n"
            "  OUT_DIR/skh-full/#chunks/      a chunk index of each file above 52428800\n"
            "                                 bytes, named on a #@chunks line before its\n"
            "                                 entry: launchers fetch only its changed parts\n"
            "  OUT_DIR is the web root of the patch host (the folder that also holds\n"
            "  skh-share/). The new tree is built in OUT_DIR/.skh-full.new and swapped in\n"
            "  only when complete; a failed run leaves the served tree as it was.\n"
            "  --version TEXT  the new version line; without it the number at the end of\n"
            "                  the published version goes up by one (1.0.9 -> 1.0.10), and a\n"
            "                  first publish starts at 1. Republishing changed files under\n"
            "                  the same version is refused.\n"
            "  --key PRIVATE_PEM  sign the manifest (see Signing below).\n"
            "  Left out: the launcher's own files at the top of CLIENT_DIR:\n"
            "  SKH2026_Patcher.exe, SKH2026_Patcher.new.exe, _skh_update.bat and\n"
            "  SKH2026_patch.state, .log, .handover and .sequence.\n"
            "  Names are read as UTF-8 and published as Windows-1252, the launcher's\n"
            "  character set; the served files carry the Windows-1252 bytes, which is what\n"
            "  the web server finds for the launcher's %%XX-encoded requests.\n"
            "  A link to a file inside CLIENT_DIR is published under the link's own name\n"
            "  with the bytes of its target.\n"
            "  Refused, with the file named and nothing published:\n"
            "    characters Windows-1252 cannot hold, or names that are not UTF-8;\n"
            "    \"|\", line breaks, control characters, \":\", \"\\\", < > \" ? *;\n"
            "    a name ending in a dot or blank; a \"..\" part; device names (NUL, COM1...);\n"
            "    a first character \"#\" (a comment to the launcher);\n"
            "    a name ending in .skh2026-part (the launcher's own, for big files);\n"
            "    manifest.txt and version.txt at the top (the tree's own files);\n"
            "    names that differ only in case;\n"
            "    a local path over 259 characters in the assumed game folder\n"
            "      %s\n"
            "    links whose target lies outside CLIENT_DIR (named with the target),\n"
            "    links to folders, and anything that is not a regular file.\n"
            "  A client folder without any file is not published.\n"
            "\n"
            "verify checks OUT_DIR/skh-full/ against its manifest: every listed file present\n"
            "  with its size and SHA-1, no unlisted file, a usable version line.\n"
            "  --key PUBLIC_DER  also check the manifest's signature, that version.txt's\n"
            "                    line is the signed version, and, when OUT_DIR/skh-share/\n"
            "                    holds both patcher_version.txt and SKH2026_Patcher.exe,\n"
            "                    the signature of that launcher offer.\n"
            "  --launcher-key PUBLIC_DER  check the launcher offer with this key instead:\n"
            "                    the old one, while the offer is still the launcher that\n"
            "                    brought a new key.\n"
            "\n"
            "  --threads N  files hashed at once (default: one per core)\n"
            "\n"
            "Signing (launchers built with SKH_RELEASE_KEY accept only signed releases;\n"
            "others ignore the signature lines, which are \"#\" comments to them):\n"
            "keygen makes an RSA 3072 key pair: KEY_DIR/release_private.pem (PKCS#8, mode\n"
            "  0600; keep it offline) and KEY_DIR/release_public.der (the launcher's build\n"
            "  setting SKH_RELEASE_KEY names it). It never replaces an existing key.\n"
            "publish --key adds \"#@sequence N\" and \"#@version V\" lines at the top of\n"
            "  manifest.txt and a last line \"#@signature\" with the SHA-256/PKCS#1 v1.5\n"
            "  signature of every byte before it, in hexadecimal, and lists the SHA-1 of\n"
            "  every file, also above 52428800 bytes. N is one above the served manifest's\n"
            "  (1 after an unsigned or no manifest) and goes up with every publish.\n"
            "launcher copies LAUNCHER_EXE (it must start with \"MZ\" and hold at least 64\n"
            "  bytes) to OUT_DIR/skh-share/SKH2026_Patcher.exe, then writes\n"
            "  OUT_DIR/skh-share/patcher_version.txt: the build number N (1 to 2147483647)\n"
            "  and, with --key, a \"#@signature\" line over the text \"#@build N\" and a line\n"
            "  feed followed by the executable's bytes. Each file is written under a hidden\n"
            "  name and renamed into place, the executable first.\n"
            "\n"
            "Exit status: 0 done; 1 refused names or links, failed copies, a tree that fails\n"
            "verify, an existing key, a launcher that is no executable; 2 wrong usage, an\n"
            "unusable key or build number. A progress line goes to stderr on long runs.\n",
            kAssumedGameDir);
}

int UsageError(const char* text) {
    fprintf(stderr, "skh_publish: %s (see skh_publish --help)\n", text);
    return kExitUsage;
}

bool ParseThreads(const char* text, int* threads) {
    char* end = nullptr;
    long value = strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 1 || value > 256)
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
                return UsageError("--threads needs a number from 1 to 256");
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
