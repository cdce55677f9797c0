// The publishing tool: SHA-1 known answers, name rules, and published trees read back with
// the launcher's own manifest code.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/text_lines.h"
#include "patch/manifest.h"
#include "tools/publish.h"
#include "tools/publish_names.h"
#include "tools/sha1.h"

namespace fs = std::filesystem;

namespace {

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteBytes(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

class PublishTree : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/skh_publish_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        client = root / "client";
        out = root / "www";
        fs::create_directories(client);
    }
    void TearDown() override { fs::remove_all(root); }

    int Publish(const std::string& version = "") {
        report.str("");
        errors.str("");
        return PublishClient({client.string(), out.string(), version, 2}, report, errors);
    }
    // Expects verify to fail and to name the problem.
    void ExpectVerifyFinds(const std::string& message) {
        errors.str("");
        EXPECT_EQ(VerifyTree(out.string(), 2, report, errors), kExitProblems) << message;
        EXPECT_NE(errors.str().find(message), std::string::npos) << errors.str();
    }
    fs::path Served(const std::string& path) const { return out / "skh-full" / path; }

    fs::path root, client, out;
    std::ostringstream report, errors;
};

}  // namespace

// The digest is libcrypto's; this only guards the algorithm and the hex form the manifest needs.
TEST(Sha1, KnownAnswers) {
    EXPECT_EQ(Sha1Hex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(Sha1Hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST(PublishNames, Utf8BecomesWindows1252OrIsRefused) {
    std::string out;
    ASSERT_TRUE(Utf8ToWindows1252("caf\xC3\xA9/r\xC3\xA9sum\xC3\xA9.txt", &out));
    EXPECT_EQ(out, "caf\xE9/r\xE9sum\xE9.txt");
    ASSERT_TRUE(
        Utf8ToWindows1252("\xE2\x82\xAC \xE2\x80\x93 \xE2\x84\xA2 \xC5\xB8 \xC3\xBF", &out));
    EXPECT_EQ(out, "\x80 \x96 \x99 \x9F \xFF");

    EXPECT_FALSE(Utf8ToWindows1252("\xE6\x97\xA5\xE6\x9C\xAC.txt", &out));  // CJK
    EXPECT_FALSE(Utf8ToWindows1252("\xC2\x81", &out));  // a C1 control, no byte in 1252
    EXPECT_FALSE(Utf8ToWindows1252("caf\xE9", &out));   // already 8-bit, not UTF-8
    EXPECT_FALSE(Utf8ToWindows1252("\xC0\xAF", &out));  // over-long "/"
    EXPECT_FALSE(Utf8ToWindows1252("\xED\xA0\x80", &out));
    EXPECT_FALSE(Utf8ToWindows1252("ab\xC3", &out));  // cut in the middle
}

TEST(PublishNames, PathsTheLauncherCanFetchAndStore) {
    for (const char* good :
         {"dir one/a b.txt", "caf\xE9/#notes ~1.txt", ".hidden/x", "data/version.txt"})
        EXPECT_EQ(PublishedPathProblem(good), "") << PrintableName(good);
    for (const char* bad :
         {"a|b", "a\nb", "a\rb", "a\tb", "#top", "c:x", "a\\b", "a?b", "a*b", "a<b", "d/nul.txt",
          "Version.txt", "manifest.txt", "x/../y", "..", "name.", "dir /x", "/abs", ""}) {
        EXPECT_NE(PublishedPathProblem(bad), "") << PrintableName(bad);
    }
    // 259 characters with the assumed game folder in front, and one more.
    size_t room = 259 - strlen(kAssumedGameDir);
    EXPECT_EQ(PublishedPathProblem("d/" + std::string(room - 2, 'x')), "");
    EXPECT_NE(PublishedPathProblem("d/" + std::string(room - 1, 'x')), "");
}

TEST(PublishNames, LauncherFilesAtTheTopInAnyCase) {
    for (const char* own : {"skh2026_patcher.EXE", "SKH2026_Patcher.new.exe", "_SKH_update.bat",
                            "SKH2026_patch.state"})
        EXPECT_TRUE(IsLauncherOwnFile(own)) << own;
    EXPECT_FALSE(IsLauncherOwnFile("bin/SKH2026_Patcher.exe"));
    EXPECT_FALSE(IsLauncherOwnFile("SKH2026.exe"));
    EXPECT_EQ(FoldCaseWindows1252("Caf\xE9/\x9A"), FoldCaseWindows1252("CAF\xC9/\x8A"));
    EXPECT_NE(FoldCaseWindows1252("\xF7"), FoldCaseWindows1252("\xD7"));  // ÷ and × are no pair
}

TEST(PublishNames, ManifestLinesAndVersions) {
    EXPECT_EQ(ManifestLine("a b/c", 52428800, "00ff"), "a b/c|52428800|00ff\n");
    EXPECT_EQ(ManifestLine("big.pak", 52428801, "00ff"), "big.pak|52428801|big\n");

    std::string next;
    ASSERT_TRUE(BumpVersion("1.0.9", &next));
    EXPECT_EQ(next, "1.0.10");
    ASSERT_TRUE(BumpVersion("v99999999999999999999", &next));
    EXPECT_EQ(next, "v100000000000000000000");

    EXPECT_EQ(VersionProblem(std::string(127, 'v')), "");
    EXPECT_NE(VersionProblem(std::string(128, 'v')), "");
    EXPECT_NE(VersionProblem(""), "");
    EXPECT_NE(VersionProblem("1\r"), "");
    EXPECT_EQ(FirstLine("7\r\nrest"), "7");
}

TEST_F(PublishTree, LauncherReadsEveryEntryAndKeepsThePublishedFiles) {
    struct File {
        std::string client, served, content;
    };
    // In the manifest's byte order.
    const std::vector<File> files = {
        {"Data2/\xE2\x82\xAC.dat", "Data2/\x80.dat", "euro"},
        {"SKH2026.exe", "SKH2026.exe", std::string(70000, 'x')},
        {"caf\xC3\xA9/r\xC3\xA9sum\xC3\xA9.txt", "caf\xE9/r\xE9sum\xE9.txt", "hello"},
        {"data/empty.bin", "data/empty.bin", ""},
        {"dir one/sub/a b.txt", "dir one/sub/a b.txt", "abc"}};
    for (const File& file : files)
        WriteBytes(client / file.client, file.content);
    WriteBytes(client / "SKH2026_Patcher.exe", "MZ launcher");
    WriteBytes(client / "SKH2026_patch.state", "old");

    ASSERT_EQ(Publish(), kExitOk) << errors.str();
    EXPECT_EQ(ReadBytes(Served("version.txt")), "1\n");
    EXPECT_FALSE(fs::exists(Served("SKH2026_Patcher.exe")));
    EXPECT_FALSE(fs::exists(Served("SKH2026_patch.state")));
    EXPECT_NE(report.str().find("SKH2026_Patcher.exe"), std::string::npos);
    std::string manifest = ReadBytes(Served("manifest.txt"));
    ASSERT_FALSE(manifest.empty());
    EXPECT_EQ(manifest.back(), '\n');
    EXPECT_EQ(CountManifestLines(manifest.c_str()), 5);

    char* cursor = &manifest[0];
    for (const File& file : files) {
        SCOPED_TRACE(PrintableName(file.served));
        char* line = NextLine(&cursor);
        ManifestEntry entry;
        ASSERT_TRUE(line != nullptr && ParseManifestEntry(line, &entry));
        EXPECT_EQ(std::string(entry.path), file.served);
        EXPECT_FALSE(IsRefusedPath(entry.path));
        // Served under the manifest's own bytes, where a web server decoding the launcher's
        // %XX request looks for it.
        EXPECT_EQ(ReadBytes(Served(entry.path)), file.content);
        // A game folder holding the client's file keeps it after a version change.
        const long long size = static_cast<long long>(file.content.size());
        ASSERT_EQ(DecideEntry(true, false, size, entry.size, entry.digest, true),
                  EntryAction::Hash);
        EXPECT_EQ(DecideAfterHash(true, Sha1Hex(file.content).c_str(), entry.digest),
                  EntryAction::Keep);
    }
    EXPECT_EQ(NextLine(&cursor), nullptr);
}

TEST_F(PublishTree, RefusedNamesAreNamedAndNothingIsPublished) {
    WriteBytes(client / "good.txt", "fine");
    ASSERT_EQ(Publish("v1"), kExitOk);
    const std::string servedManifest = ReadBytes(Served("manifest.txt"));

    // One name from each kind of check: a path rule, UTF-8, the length.
    for (const std::string& name :
         {std::string("dir/bad|bar.txt"), std::string("\xE6\x97\xA5\xE6\x9C\xAC.txt"),
          "d/" + std::string(240, 'L')}) {
        fs::remove_all(client);
        WriteBytes(client / "good.txt", "changed");
        WriteBytes(client / name, "x");
        EXPECT_EQ(Publish("v2"), kExitProblems) << name;
        EXPECT_NE(errors.str().find(PrintableName(name)), std::string::npos) << errors.str();
        // The old tree stays served, and no staging folder is left behind.
        EXPECT_EQ(ReadBytes(Served("manifest.txt")), servedManifest);
        EXPECT_EQ(ReadBytes(Served("version.txt")), "v1\n");
        EXPECT_FALSE(fs::exists(out / ".skh-full.new"));
    }
}

TEST_F(PublishTree, EmptyClientsAndNamesThatDifferOnlyInCaseAreNotPublished) {
    fs::create_directories(client / "empty folder");
    EXPECT_EQ(Publish(), kExitUsage);
    WriteBytes(client / "Data/a.txt", "1");
    WriteBytes(client / "data/b.txt", "2");
    EXPECT_EQ(Publish(), kExitProblems);
    EXPECT_NE(errors.str().find("differs only in case"), std::string::npos);
    fs::remove_all(client / "Data");
    WriteBytes(client / "caf\xC3\xA9.txt", "1");
    WriteBytes(client / "CAF\xC3\x89.TXT", "2");
    EXPECT_EQ(Publish(), kExitProblems);
    EXPECT_FALSE(fs::exists(out / "skh-full"));
}

TEST_F(PublishTree, VersionsBumpAndAChangedClientNeedsANewOne) {
    WriteBytes(client / "a.txt", "one");
    ASSERT_EQ(Publish(), kExitOk);
    ASSERT_EQ(Publish(), kExitOk);
    EXPECT_EQ(ReadBytes(Served("version.txt")), "2\n");
    // Republishing the same files under the same version is harmless; other files are not.
    EXPECT_EQ(Publish("2"), kExitOk);
    WriteBytes(client / "a.txt", "two");
    EXPECT_EQ(Publish("2"), kExitUsage);
    EXPECT_EQ(ReadBytes(Served("a.txt")), "one");

    // A file gone from the client is gone from the served tree.
    WriteBytes(client / "b.txt", "bee");
    ASSERT_EQ(Publish(), kExitOk);
    fs::remove(client / "b.txt");
    ASSERT_EQ(Publish(), kExitOk);
    EXPECT_FALSE(fs::exists(Served("b.txt")));

    ASSERT_EQ(Publish("beta"), kExitOk);
    EXPECT_EQ(Publish(), kExitUsage);
    EXPECT_NE(errors.str().find("--version"), std::string::npos);
    EXPECT_EQ(Publish(std::string(128, 'v')), kExitUsage);
}

TEST_F(PublishTree, VerifyFindsChangedMissingResizedAndUnlistedFiles) {
    WriteBytes(client / "flip.txt", "abcdef");
    WriteBytes(client / "gone/file.txt", "here");
    WriteBytes(client / "grow.txt", "123");
    ASSERT_EQ(Publish(), kExitOk);
    ASSERT_EQ(VerifyTree(out.string(), 2, report, errors), kExitOk) << errors.str();

    WriteBytes(Served("flip.txt"), "abcdeF");
    ExpectVerifyFinds("\"flip.txt\": SHA-1");
    WriteBytes(Served("flip.txt"), "abcdef");
    fs::remove(Served("gone/file.txt"));
    ExpectVerifyFinds("\"gone/file.txt\": listed, but missing");
    WriteBytes(Served("gone/file.txt"), "here");
    WriteBytes(Served("grow.txt"), "1234");
    ExpectVerifyFinds("\"grow.txt\": size is 4 bytes, the manifest says 3");
    WriteBytes(Served("grow.txt"), "123");
    WriteBytes(Served("extra.txt"), "?");
    ExpectVerifyFinds("\"extra.txt\": not listed");
    fs::remove(Served("extra.txt"));

    EXPECT_EQ(VerifyTree(out.string(), 2, report, errors), kExitOk) << errors.str();
    fs::remove(Served("version.txt"));
    ExpectVerifyFinds("version.txt");
}
