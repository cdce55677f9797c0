// The publishing tool: names, copying, trees, links, the swap, releases signed as openssl signs.
#include <errno.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <openssl/evp.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "patch/manifest.h"
#include "tools/disk.h"
#include "tools/file_jobs.h"
#include "tools/keygen.h"
#include "tests/pe_image.h"
#include "tools/launcher_offer.h"
#include "tools/publish.h"
#include "tools/publish_names.h"
#include "tools/verify.h"

namespace fs = std::filesystem;

namespace {

std::string ReadBytes(const fs::path& path) {
    std::string bytes;
    return ReadWholeFile(path, &bytes) ? bytes : "(unreadable)";
}

void WriteBytes(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    ASSERT_TRUE(WriteWholeFile(path, content)) << path;
}

// What a shell command prints (fread reads on to the end), or "(failed)".
std::string Shell(const std::string& command) {
    std::string out(1 << 16, '\0');
    FILE* pipe = popen(command.c_str(), "r");
    out.resize(pipe != nullptr ? fread(&out[0], 1, out.size(), pipe) : 0);
    return pipe != nullptr && pclose(pipe) == 0 ? out : "(failed)";
}

fs::path MakeRoot() {
    std::string pattern = "/tmp/skh_publish_test.XXXXXX";
    return mkdtemp(&pattern[0]) != nullptr ? pattern : "/nonexistent";
}

// Paths flushed; the first folder renamed onto the served name, flushes before it; failures.
std::mutex gSeenLock;
std::vector<std::string> gFlushed;
std::string gServedName, gFirstOntoServed;
size_t gFlushedBeforeSwap = 0;
int gFailingOntoServed = 0;
bool gExchange = true;

int SeenFlush(int fd) {
    char name[PATH_MAX];
    const ssize_t length =
        readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), name, sizeof(name));
    std::lock_guard<std::mutex> lock(gSeenLock);
    gFlushed.push_back(std::string(name, length > 0 ? length : 0));
    return fsync(fd);
}

int SeenRename(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags) {
    std::lock_guard<std::mutex> lock(gSeenLock);
    if (to == gServedName && gFirstOntoServed.empty()) {
        gFirstOntoServed = from;
        gFlushedBeforeSwap = gFlushed.size();
    }
    if ((flags & RENAME_EXCHANGE && !gExchange) ||
        (to == gServedName && gFailingOntoServed > 0 && gFailingOntoServed--)) {
        errno = (flags & RENAME_EXCHANGE) ? EINVAL : EIO;
        return -1;
    }
    return renameat2(fromFolder, from, toFolder, to, flags);
}

class PublishTree : public ::testing::Test {
protected:
    void TearDown() override { fs::remove_all(root); }

    int Publish(const std::string& version = "", const std::string& key = "") {
        log.str("");
        return PublishClient({client.string(), out.string(), version, 2, key}, log, log);
    }
    int Verify(const std::string& key = "", const std::string& launcherKey = "") {
        log.str("");
        return VerifyTree(out.string(), 2, key, launcherKey, log, log);
    }
    void ExpectProblem(int code, const std::string& text) {
        EXPECT_EQ(code, kExitProblems);
        EXPECT_NE(log.str().find(text), std::string::npos) << text << "\n" << log.str();
    }

    const fs::path root = MakeRoot(), client = root / "client", out = root / "www",
                   live = out / "skh-full";
    std::ostringstream log;
};

}  // namespace

TEST(PublishNames, Windows1252NamesPathsLinesVersionsAndCaseFolding) {
    std::string out;
    ASSERT_TRUE(
        Utf8ToWindows1252("\xE2\x82\xAC\xE2\x80\x93\xE2\x84\xA2\xC5\xB8\xC3\xBF\xC3\xA9", &out));
    EXPECT_EQ(out, "\x80\x96\x99\x9F\xFF\xE9");
    // CJK, a C1 control (no byte in 1252), 8-bit already, over-long "/", a surrogate, cut.
    for (const char* bad : {"\xE6\x97\xA5\xE6\x9C\xAC.txt", "\xC2\x81", "caf\xE9", "\xC0\xAF",
                            "\xED\xA0\x80", "ab\xC3"})
        EXPECT_FALSE(Utf8ToWindows1252(bad, &out)) << PrintableName(bad);
    // 259 characters with the assumed game folder; "d/nul.txt" shows the launcher's refusals apply.
    const std::string longest = "d/" + std::string(257 - strlen(kAssumedGameDir), 'x');
    using Names = std::initializer_list<std::string>;
    for (const std::string& good : Names{"dir one/a b.txt", "caf\xE9/#notes ~1.txt", ".hidden/x",
                                         "data/version.txt", longest})
        EXPECT_EQ(PublishedPathProblem(good), "") << PrintableName(good);
    for (const std::string& bad :
         Names{"a|b", "a\tb", "#top", "a\\b", "a?b", "a*b", "a<b", "d/nul.txt", "Version.txt",
               "manifest.txt", "name.", "dir /x", "", "data/big.pak.SKH2026-part", longest + "x"})
        EXPECT_NE(PublishedPathProblem(bad), "") << PrintableName(bad);
    EXPECT_EQ(ManifestLine("a b/c", 52428800, "00ff", false), "a b/c|52428800|00ff\n");
    EXPECT_EQ(ManifestLine("big.pak", 52428801, "00ff", false), "big.pak|52428801|big\n");
    EXPECT_EQ(VersionProblem(std::string(127, 'v')), "");
    for (const std::string& bad : {std::string(128, 'v'), std::string(), std::string("1\r")})
        EXPECT_NE(VersionProblem(bad), "") << bad;
    EXPECT_EQ(FirstLine("7\r\nrest"), "7");
    EXPECT_EQ(FoldCaseWindows1252("Caf\xE9/\x9A"), FoldCaseWindows1252("CAF\xC9/\x8A"));
    EXPECT_NE(FoldCaseWindows1252("\xF7"), FoldCaseWindows1252("\xD7"));  // ÷ and × are no pair
}

TEST_F(PublishTree, ServesTheClientUnderItsManifestBytesRefusesBadNamesAndVersions) {
    fs::create_directories(client / "empty folder");
    EXPECT_EQ(Publish(), kExitUsage);  // an empty manifest reads like a failed download
    WriteBytes(client / "Data2/\xE2\x82\xAC.dat", "euro");
    WriteBytes(client / "bin/SKH2026_Patcher.exe", "hello");
    WriteBytes(client / "data/empty.bin", "");
    WriteBytes(client / "dir one/sub/a b.txt", "abc");
    fs::create_symlink("../dir one/sub/a b.txt", client / "data/alias.txt");
    WriteBytes(client / "skh2026_patcher.EXE", "MZ");  // the launcher's own, in any case
    ASSERT_EQ(Publish(), kExitOk) << log.str();
    // Known SHA-1 answers (sha1sum), the names in Windows-1252, sorted by bytes.
    EXPECT_EQ(ReadBytes(live / "manifest.txt"),
              "Data2/\x80.dat|4|0eb8b4484399e1de23588be80cdb85ee416ffbea\n"
              "bin/SKH2026_Patcher.exe|5|aaf4c61ddcc5e8a2dabede0f3b482cd9aea9434d\n"
              "data/alias.txt|3|a9993e364706816aba3e25717850c26c9cd0d89d\n"
              "data/empty.bin|0|da39a3ee5e6b4b0d3255bfef95601890afd80709\n"
              "dir one/sub/a b.txt|3|a9993e364706816aba3e25717850c26c9cd0d89d\n");

    // Launchers check digests only when the version changes: other files need a new one.
    WriteBytes(client / "data/empty.bin", "now full");
    EXPECT_EQ(Publish("1"), kExitUsage);
    EXPECT_EQ(ReadBytes(live / "data/empty.bin"), "");
    ASSERT_EQ(Publish("1.0.99999999999999999999"), kExitOk) << log.str();
    ASSERT_EQ(Publish(), kExitOk) << log.str();  // the last number counts up, past 64 bits
    EXPECT_EQ(std::distance(fs::directory_iterator(out), {}), 1);  // no tree but the served
    EXPECT_EQ(ReadBytes(live / "version.txt"), "1.0.100000000000000000000\n");
    ASSERT_EQ(Publish("beta"), kExitOk);
    EXPECT_EQ(Publish(), kExitUsage);

    // Exactly these problems: every file is served under its manifest bytes, nothing else is.
    WriteBytes(live / "Data2/\x80.dat", "Euro");
    fs::remove(live / "data/empty.bin");
    WriteBytes(live / "data/alias.txt", "abcd");
    WriteBytes(live / "extra.txt", "?");
    fs::remove(live / "version.txt");
    std::string manifest = ReadBytes(live / "manifest.txt");
    const std::string small = "a b.txt|3|";  // a small file's digest is listed, never "big"
    WriteBytes(live / "manifest.txt", manifest.replace(manifest.rfind(small) + small.size(),
                                                       kDigestLength, kBigDigestField));
    const int verified = Verify();
    for (const char* found :
         {"\"Data2/\\x80.dat\": SHA-1", "\"data/empty.bin\": listed, but missing",
          "\"data/alias.txt\": size is 4 bytes, the manifest says 3", "\"extra.txt\": not listed",
          "\"version.txt\": missing", "\"dir one/sub/a b.txt\": digest \"big\" where publish",
          "verify: 6 "})
        ExpectProblem(verified, found);

    // Refused names and a link out of the client: each named, none published.
    WriteBytes(root / "secret.txt", "not for players");
    fs::create_symlink(root / "secret.txt", client / "peek.txt");
    const char* const refused[] = {"dir/bad|bar.txt", "\xE6\x97\xA5\xE6\x9C\xAC.txt",
                                   "data/EMPTY.bin", "data2/x.dat"};
    for (const char* name : refused)
        WriteBytes(client / name, "x");
    const int published = Publish("v2");
    for (const char* name : refused)
        ExpectProblem(published, "\"" + PrintableName(name) + "\"");
    ExpectProblem(published, "\"peek.txt\": a link to \"" + (root / "secret.txt").string());
    EXPECT_FALSE(fs::exists(live / "version.txt"));  // still as verify found it above
}

TEST_F(PublishTree, CopiesOnlyTheScannedFileIntoNewFilesAndReportsEveryDigestFailure) {
    WriteBytes(root / "abc.txt", "abc");
    WriteBytes(root / "other.txt", "x");
    fs::create_symlink(root / "abc.txt", root / "link.txt");       // put in a file's place
    fs::create_symlink(root / "other.txt", root / "planted.txt");  // waiting at a copy's place
    struct stat abc, other;
    ASSERT_EQ(stat((root / "abc.txt").c_str(), &abc) | stat((root / "other.txt").c_str(), &other),
              0);
    // The digest and the error, "|" between; fips leaves libcrypto no SHA-1 to give.
    auto copy = [&](const char* source, const struct stat& scanned, const char* destination,
                    int fips = 0) {
        FileJob job;
        job.source = (root / source).string();
        job.sourceId = IdOf(scanned);
        job.destination = destination[0] ? (root / destination).string() : "";
        job.expectedBytes = kDigestSizeLimit + 1;  // scanned big: the bytes read decide
        EVP_default_properties_enable_fips(nullptr, fips);
        RunFileJobs({&job}, 1, "testing");
        EVP_default_properties_enable_fips(nullptr, 0);
        return job.digest + "|" + job.error;
    };
    EXPECT_EQ(copy("abc.txt", abc, "copy"), "a9993e364706816aba3e25717850c26c9cd0d89d|");
    EXPECT_EQ(ReadBytes(root / "copy"), "abc");
    for (const auto& failure : {std::make_pair(copy("link.txt", abc, ""), "|cannot open"),
                                {copy("abc.txt", other, ""), " was replaced by another file"},
                                {copy("abc.txt", abc, "planted.txt"), "|cannot create"},
                                {copy("abc.txt", abc, "", 1), "|cannot compute the SHA-1"}})
        EXPECT_TRUE(failure.first[0] == '|' &&
                    failure.first.find(failure.second) != std::string::npos)
            << failure.first;
}

TEST_F(PublishTree, FlushesTheTreeBeforeTheSwapAndPutsTheServedTreeBackWhenTheSwapFails) {
    WriteBytes(client / "d/e/f.txt", "abc");
    WriteBytes(client / "g.txt", "");
    ASSERT_EQ(Publish("1"), kExitOk) << log.str();
    struct Restore {
        DiskCalls saved = gDiskCalls;
        ~Restore() { gDiskCalls = saved; }
    } restore;
    gDiskCalls = {SeenFlush, SeenRename};
    const fs::path web = fs::canonical(out);
    gServedName = (web / "skh-full").string();
    // Versions 2 to 5: exchange, no exchange, the rename onto the served name fails, the undo's.
    const char* const texts[] = {"published", "published", "the served tree is back as it was",
                                 "nothing is served at"};
    for (int version = 2; version <= 5; ++version) {
        const int failing = std::max(0, version - 3);
        gFlushed.clear();
        gFirstOntoServed.clear();
        gExchange = version == 2;
        gFailingOntoServed = failing;
        EXPECT_EQ(Publish(std::to_string(version)), failing ? kExitProblems : kExitOk);
        EXPECT_NE(log.str().find(texts[version - 2]), std::string::npos) << log.str();
        const std::string served = std::to_string(failing ? 3 : version) + "\n";
        EXPECT_EQ(ReadBytes(live / "version.txt"), failing == 2 ? "(unreadable)" : served);
        if (failing)
            continue;
        // Every file and folder reached the disk under its staging (or hidden) name before the
        // first rename onto the served name, and the web root after it.
        std::set<std::string> flushed;
        for (size_t i = 0; i < gFlushedBeforeSwap; ++i)
            flushed.insert(std::regex_replace(
                gFlushed[i], std::regex("/\\.((manifest|version)\\.txt)\\.\\w{6}$"), "/$1"));
        EXPECT_EQ(flushed.count(gFirstOntoServed), 1u);
        for (const auto& entry : fs::recursive_directory_iterator(live)) {
            const std::string name =
                gFirstOntoServed + "/" + entry.path().lexically_relative(live).string();
            EXPECT_EQ(flushed.count(name), 1u) << name;
        }
        EXPECT_NE(std::find(gFlushed.begin() + gFlushedBeforeSwap, gFlushed.end(), web.string()),
                  gFlushed.end());
    }
    for (const auto& entry : fs::directory_iterator(web)) {
        const std::string name = entry.path().filename().string();
        // The served tree, set aside, and the new one: both kept, as the message says.
        EXPECT_EQ(ReadBytes(entry.path() / "version.txt"),
                  name.rfind(".skh-full.old", 0) == 0 ? "3\n" : "5\n");
        EXPECT_NE(log.str().find(entry.path().string()), std::string::npos) << name;
    }
}

TEST_F(PublishTree, KeyPairsSignedManifestsAndLauncherOffersAsOpensslSignsThem) {
    const std::string keys = (root / "keys").string(), key = keys + "/release_private.pem",
                      publicKey = keys + "/release_public.der", next = (root / "next").string();
    ASSERT_EQ(MakeKeyPair(keys, log, log), kExitOk) << log.str();
    ASSERT_EQ(MakeKeyPair(next, log, log), kExitOk) << log.str();
    EXPECT_EQ(fs::status(key).permissions(), fs::perms(0600));

    // The launcher's build takes the public key only, never the private one, PEM or DER.
    const std::string der = keys + "/private.der";
    ASSERT_EQ(Shell("openssl pkey -in " + key + " -outform DER -out " + der), "");
    for (const std::string& file : {publicKey, key, der}) {
        const std::string build = SKH_CMAKE_COMMAND " -DSKH_RELEASE_KEY=" + file +
                                  " -DOUTPUT=" + (root / "key.cpp").string() +
                                  " -P " SKH_SOURCE_DIR "/cmake/release_key.cmake >/dev/null 2>&1";
        EXPECT_EQ(system(build.c_str()) != 0, file != publicKey) << file;
    }

    WriteBytes(client / "a.txt", "abc");
    fs::create_hard_link(key, client / "notes.txt");  // the key under a name of the client
    ExpectProblem(Publish("2026.1", key), "\"notes.txt\": the private key given with --key");
    fs::remove(client / "notes.txt");
    WriteBytes(client / "big.pak", std::string(52428801, '\0'));  // just above the hash limit
    ASSERT_EQ(Publish("2026.1", key), kExitOk) << log.str();
    const fs::path index = live / "#chunks/big.pak.idx";
    const std::string indexBytes = ReadBytes(index);
    const std::string body =
        "#@sequence 1\n#@version 2026.1\na.txt|3|a9993e364706816aba3e25717850c26c9cd0d89d\n"
        "#@chunks " +
        Shell("openssl dgst -sha256 -r '" + index.string() + "'").substr(0, 64) +
        " #chunks/big.pak.idx\nbig.pak|52428801|390859d3b1d67cefd03364e66b885bc13ba8a371\n";
    // PKCS#1 v1.5 signatures are deterministic: the tool must write exactly openssl's.
    const std::string signature =
        Shell("head -c " + std::to_string(body.size()) + " " + (live / "manifest.txt").string() +
              " | openssl dgst -sha256 -hex -r -sign " + key);
    EXPECT_EQ(ReadBytes(live / "manifest.txt"),
              body + "#@signature " + signature.substr(0, 768) + "\n");
    EXPECT_EQ(MakeKeyPair(keys, log, log), kExitProblems);  // never replaced: it verifies below

    const std::string exe = WholeExecutable(4096);
    auto ship = [&](const std::string& build, const std::string& bytes, const std::string& with) {
        WriteBytes(root / "new.exe", bytes);
        return ShipLauncher({build, with, (root / "new.exe").string(), out.string()}, log, log);
    };
    for (const char* build : {"0", "-6", "6x", "", "2147483648"})
        EXPECT_EQ(ship(build, exe, key), kExitUsage) << build;
    EXPECT_EQ(ship("6", exe.substr(0, 4095), key), kExitProblems);  // not a whole executable
    ASSERT_EQ(ship("6", exe, ""), kExitOk) << log.str();
    EXPECT_EQ(ReadBytes(out / "skh-share/patcher_version.txt"), "6\n");
    ASSERT_EQ(ship("6", exe, key), kExitOk) << log.str();
    // The signed offer names the executable's size and its SHA-256 as sha256sum gives it.
    EXPECT_EQ(ReadBytes(out / "skh-share/patcher_version.txt").substr(0, 88),
              "6\n#@size 4096\n#@sha256 " +
                  Shell("sha256sum '" + (root / "new.exe").string() + "'").substr(0, 64) + "\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(out / "skh-share"), fs::directory_iterator()),
              2);
    // After a key change the offer is the launcher that brought the new key, under the old.
    ASSERT_EQ(ship("7", exe, next + "/release_private.pem"), kExitOk) << log.str();
    auto verifyBoth = [&] { return Verify(publicKey, next + "/release_public.der"); };
    EXPECT_EQ(verifyBoth(), kExitOk) << log.str();
    WriteBytes(index, indexBytes + "!");
    ExpectProblem(verifyBoth(), "\"big.pak\": its chunk index #chunks/big.pak.idx is not the one");
    WriteBytes(index, indexBytes);
    WriteBytes(live / "big.pak", std::string(52428800, '\0') + "!");
    ExpectProblem(verifyBoth(), "its chunk index #chunks/big.pak.idx does not describe the file");
    WriteBytes(live / "big.pak", std::string(52428801, '\0'));
    WriteBytes(out / "skh-share/SKH2026_Patcher.exe", exe + "!");
    ExpectProblem(verifyBoth(), "patcher_version.txt\": the signed size and SHA-256 do not match");

    // Republishing the same files under the same version still counts up.
    ASSERT_EQ(Publish("2026.1", key), kExitOk) << log.str();
    std::string manifest = ReadBytes(live / "manifest.txt");
    EXPECT_EQ(manifest.rfind("#@sequence 2\n#@version 2026.1\n", 0), 0u);
    WriteBytes(live / "version.txt", "2026.9\n");
    ExpectProblem(Verify(publicKey), "\"version.txt\": differs from the signed version \"2026.1\"");
    manifest[11] = '0';  // "#@sequence 0": still well formed, no longer what was signed
    WriteBytes(live / "manifest.txt", manifest);
    ExpectProblem(Verify(publicKey), "\"manifest.txt\": the signature does not match");
    // The counter beside the key decides, never the served tree, which says 0 now.
    ASSERT_EQ(Publish("2026.2", key), kExitOk) << log.str();
    EXPECT_EQ(ReadBytes(live / "manifest.txt").rfind("#@sequence 3\n", 0), 0u);
    WriteBytes(keys + "/release_sequence.txt", "1\n");  // behind what launchers have taken
    ExpectProblem(Publish("2026.3", key), "signed with sequence 3");
    fs::remove(keys + "/release_sequence.txt");
    ExpectProblem(Publish("2026.3", key), "no sequence counter");
}
