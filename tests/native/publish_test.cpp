// The publishing tool: name rules, published trees, links, and signed releases held against
// openssl's own command line.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "patch/chunk_index.h"
#include "tools/file_jobs.h"
#include "tools/publish.h"
#include "tools/publish_names.h"
#include "tools/signing.h"

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

fs::path MakeRoot() {
    std::string pattern = "/tmp/skh_publish_test.XXXXXX";
    return mkdtemp(&pattern[0]) != nullptr ? pattern : "/nonexistent";
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
    for (const char* good :
         {"dir one/a b.txt", "caf\xE9/#notes ~1.txt", ".hidden/x", "data/version.txt"})
        EXPECT_EQ(PublishedPathProblem(good), "") << PrintableName(good);
    for (const char* bad :
         {"a|b",       "a\nb",        "a\rb",         "a\tb",   "#top",
          "c:x",       "a\\b",        "a?b",          "a*b",    "a<b",
          "d/nul.txt", "Version.txt", "manifest.txt", "x/../y", "..",
          "name.",     "dir /x",      "/abs",         "",       "data/big.pak.SKH2026-part"})
        EXPECT_NE(PublishedPathProblem(bad), "") << PrintableName(bad);
    // 259 characters with the assumed game folder in front, and one more.
    size_t room = 259 - strlen(kAssumedGameDir);
    EXPECT_EQ(PublishedPathProblem("d/" + std::string(room - 2, 'x')), "");
    EXPECT_NE(PublishedPathProblem("d/" + std::string(room - 1, 'x')), "");
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
    fs::remove(client / "bin/SKH2026_Patcher.exe");
    EXPECT_EQ(Publish("1"), kExitUsage);
    EXPECT_EQ(ReadBytes(live / "data/empty.bin"), "");
    ASSERT_EQ(Publish("1.0.99999999999999999999"), kExitOk) << log.str();
    ASSERT_EQ(Publish(), kExitOk) << log.str();       // the last number counts up, past 64 bits
    EXPECT_FALSE(fs::exists(out / ".skh-full.new"));  // the tree it replaced is gone
    EXPECT_EQ(ReadBytes(live / "version.txt"), "1.0.100000000000000000000\n");
    ASSERT_EQ(Publish("beta"), kExitOk);
    EXPECT_EQ(Publish(), kExitUsage);

    // Exactly these problems: every file is served under its manifest bytes, nothing else is.
    WriteBytes(live / "Data2/\x80.dat", "Euro");
    fs::remove(live / "data/empty.bin");
    WriteBytes(live / "data/alias.txt", "abcd");
    WriteBytes(live / "extra.txt", "?");
    fs::remove(live / "version.txt");
    const int verified = Verify();
    for (const char* found :
         {"\"Data2/\\x80.dat\": SHA-1", "\"data/empty.bin\": listed, but missing",
          "\"data/alias.txt\": size is 4 bytes, the manifest says 3", "\"extra.txt\": not listed",
          "\"version.txt\": missing", "verify: 5 "})
        ExpectProblem(verified, found);

    // A refused name of each kind, and a link out of the client: each named, none published.
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

TEST_F(PublishTree, KeyPairsSignedManifestsAndLauncherOffersAsOpensslSignsThem) {
    const std::string keys = (root / "keys").string(), key = keys + "/release_private.pem",
                      publicKey = keys + "/release_public.der", next = (root / "next").string();
    ASSERT_EQ(MakeKeyPair(keys, log, log), kExitOk) << log.str();
    ASSERT_EQ(MakeKeyPair(next, log, log), kExitOk) << log.str();
    EXPECT_EQ(fs::status(key).permissions(), fs::perms(0600));

    WriteBytes(client / "a.txt", "abc");
    WriteBytes(client / "big.pak", std::string(52428801, '\0'));  // just above the hash limit
    ASSERT_EQ(Publish("2026.1", key), kExitOk) << log.str();
    // The big file's chunk index: 200 chunks of the largest size and one byte, named with its
    // SHA-256 (as openssl computes it) on the signed line before the entry.
    const fs::path index = live / "#chunks/big.pak.idx";
    const std::string indexBytes = ReadBytes(index);
    ChunkIndex chunks;
    ASSERT_TRUE(ReadChunkIndex(reinterpret_cast<const unsigned char*>(indexBytes.data()),
                               indexBytes.size(), &chunks));
    EXPECT_EQ(chunks.chunks.size(), 201u);
    EXPECT_EQ(chunks.chunks.back().length, 1u);
    const std::string indexSum =
        "openssl dgst -sha256 -r '" + index.string() + "' >" + (root / "index.sum").string();
    ASSERT_EQ(system(indexSum.c_str()), 0);
    const std::string body =
        "#@sequence 1\n#@version 2026.1\n"
        "a.txt|3|a9993e364706816aba3e25717850c26c9cd0d89d\n"
        "#@chunks " +
        ReadBytes(root / "index.sum").substr(0, 64) +
        " #chunks/big.pak.idx\n"
        "big.pak|52428801|390859d3b1d67cefd03364e66b885bc13ba8a371\n";
    // PKCS#1 v1.5 signatures are deterministic: the tool must write exactly openssl's.
    const std::string sign = "head -c " + std::to_string(body.size()) + " " +
                             (live / "manifest.txt").string() + " | openssl dgst -sha256 -hex -r" +
                             " -sign " + key + " -out " + (root / "sig").string();
    ASSERT_EQ(system(sign.c_str()), 0);
    EXPECT_EQ(ReadBytes(live / "manifest.txt"),
              body + "#@signature " + ReadBytes(root / "sig").substr(0, 768) + "\n");
    EXPECT_EQ(MakeKeyPair(keys, log, log), kExitProblems);  // never replaced: it verifies below

    const std::string exe = "MZ" + std::string(62, '\x90');
    auto ship = [&](const std::string& build, const std::string& bytes, const std::string& with) {
        WriteBytes(root / "new.exe", bytes);
        return ShipLauncher({build, with, (root / "new.exe").string(), out.string()}, log, log);
    };
    for (const char* build : {"0", "-6", "6x", "", "2147483648"})
        EXPECT_EQ(ship(build, exe, key), kExitUsage) << build;
    for (const std::string& notLauncher : {exe.substr(0, 63), "NZ" + exe.substr(2)})
        EXPECT_EQ(ship("6", notLauncher, key), kExitProblems) << notLauncher;
    ASSERT_EQ(ship("6", exe, ""), kExitOk) << log.str();
    EXPECT_EQ(ReadBytes(out / "skh-share/patcher_version.txt"), "6\n");
    ASSERT_EQ(ship("6", exe, key), kExitOk) << log.str();
    EXPECT_EQ(std::distance(fs::directory_iterator(out / "skh-share"), fs::directory_iterator()),
              2);
    // After a key change the offer is the launcher that brought the new key, under the old.
    ASSERT_EQ(ship("7", exe, next + "/release_private.pem"), kExitOk) << log.str();
    EXPECT_EQ(Verify(publicKey, next + "/release_public.der"), kExitOk) << log.str();
    // verify holds the index to its line and to the file.
    WriteBytes(index, indexBytes + "!");
    ExpectProblem(Verify(publicKey, next + "/release_public.der"),
                  "\"big.pak\": its chunk index #chunks/big.pak.idx is not the one the manifest");
    WriteBytes(index, indexBytes);
    WriteBytes(live / "big.pak", std::string(52428800, '\0') + "!");
    ExpectProblem(Verify(publicKey, next + "/release_public.der"),
                  "its chunk index #chunks/big.pak.idx does not describe the file");
    WriteBytes(live / "big.pak", std::string(52428801, '\0'));
    WriteBytes(out / "skh-share/SKH2026_Patcher.exe", exe + "!");
    ExpectProblem(Verify(publicKey, next + "/release_public.der"),
                  "\"skh-share/patcher_version.txt\": the signature does not match");

    // Republishing the same files under the same version still counts up.
    ASSERT_EQ(Publish("2026.1", key), kExitOk) << log.str();
    std::string manifest = ReadBytes(live / "manifest.txt");
    EXPECT_EQ(manifest.rfind("#@sequence 2\n#@version 2026.1\n", 0), 0u);
    WriteBytes(live / "version.txt", "2026.9\n");
    ExpectProblem(Verify(publicKey), "\"version.txt\": differs from the signed version \"2026.1\"");
    manifest[11] = '0';  // "#@sequence 0": still well formed, no longer what was signed
    WriteBytes(live / "manifest.txt", manifest);
    ExpectProblem(Verify(publicKey), "\"manifest.txt\": the signature does not match");
    WriteBytes(live / "manifest.txt", manifest.substr(0, 60));  // its sequence is lost
    EXPECT_EQ(Publish("", key), kExitProblems);
}
