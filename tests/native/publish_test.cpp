// The publishing tool: SHA-1 known answers, name rules, and published trees read back with
// the launcher's own manifest code.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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
    int Verify() {
        report.str("");
        errors.str("");
        return VerifyTree(out.string(), 2, report, errors);
    }
    fs::path Served(const std::string& path) const { return out / "skh-full" / path; }

    fs::path root, client, out;
    std::ostringstream report, errors;
};

}  // namespace

TEST(Sha1, KnownAnswers) {
    EXPECT_EQ(Sha1Hex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(Sha1Hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(Sha1Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(Sha1Hex(std::string(1000000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(Sha1, PiecesOfAnySizeGiveTheDigestOfTheWhole) {
    std::string data;
    for (int i = 0; i < 300; ++i)
        data.push_back(static_cast<char>(i * 7));
    for (size_t length : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 128u, 300u}) {
        std::string whole = Sha1Hex(data.substr(0, length));
        for (size_t piece : {1u, 3u, 63u, 64u, 100u}) {
            Sha1State state;
            Sha1Init(&state);
            for (size_t at = 0; at < length; at += piece)
                Sha1Update(&state, data.data() + at, std::min(piece, length - at));
            EXPECT_EQ(Sha1FinalHex(&state), whole) << length << " bytes in pieces of " << piece;
        }
    }
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
    EXPECT_EQ(PublishedPathProblem("dir one/a b.txt"), "");
    EXPECT_EQ(PublishedPathProblem("caf\xE9/#notes ~1.txt"), "");
    EXPECT_EQ(PublishedPathProblem(".hidden/x"), "");
    EXPECT_EQ(PublishedPathProblem("data/version.txt"), "");

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
    EXPECT_TRUE(IsLauncherOwnFile("SKH2026_Patcher.exe"));
    EXPECT_TRUE(IsLauncherOwnFile("skh2026_patcher.EXE"));
    EXPECT_TRUE(IsLauncherOwnFile("SKH2026_Patcher.new.exe"));
    EXPECT_TRUE(IsLauncherOwnFile("_SKH_update.bat"));
    EXPECT_TRUE(IsLauncherOwnFile("SKH2026_patch.state"));
    EXPECT_FALSE(IsLauncherOwnFile("bin/SKH2026_Patcher.exe"));
    EXPECT_FALSE(IsLauncherOwnFile("SKH2026.exe"));
    EXPECT_EQ(FoldCaseWindows1252("Caf\xE9/\x9A"), FoldCaseWindows1252("CAF\xC9/\x8A"));
    EXPECT_NE(FoldCaseWindows1252("\xF7"), FoldCaseWindows1252("\xD7"));  // ÷ and × are no pair
}

TEST(PublishNames, ManifestLinesAndVersions) {
    EXPECT_EQ(ManifestLine("a b/c", 52428800, "00ff"), "a b/c|52428800|00ff\n");
    EXPECT_EQ(ManifestLine("big.grf", 52428801, "00ff"), "big.grf|52428801|big\n");

    std::string next;
    ASSERT_TRUE(BumpVersion("1", &next));
    EXPECT_EQ(next, "2");
    ASSERT_TRUE(BumpVersion("1.0.9", &next));
    EXPECT_EQ(next, "1.0.10");
    ASSERT_TRUE(BumpVersion("v99999999999999999999", &next));
    EXPECT_EQ(next, "v100000000000000000000");
    EXPECT_FALSE(BumpVersion("beta", &next));
    EXPECT_FALSE(BumpVersion("", &next));

    EXPECT_EQ(VersionProblem("2026.1"), "");
    EXPECT_EQ(VersionProblem(std::string(127, 'v')), "");
    EXPECT_NE(VersionProblem(std::string(128, 'v')), "");
    EXPECT_NE(VersionProblem(""), "");
    EXPECT_NE(VersionProblem("1\r"), "");
    EXPECT_EQ(FirstLine("7\r\nrest"), "7");
}

TEST_F(PublishTree, LauncherReadsEveryEntryAndKeepsThePublishedFiles) {
    const std::vector<std::pair<std::string, std::string>> files = {
        {"SKH2026.exe", std::string(70000, 'x')}, {"caf\xC3\xA9/r\xC3\xA9sum\xC3\xA9.txt", "hello"},
        {"dir one/sub/a b.txt", "abc"},           {"data/empty.bin", ""},
        {"Data2/\xE2\x82\xAC.dat", "euro"},
    };
    for (const auto& file : files)
        WriteBytes(client / file.first, file.second);
    WriteBytes(client / "SKH2026_Patcher.exe", "MZ launcher");
    WriteBytes(client / "SKH2026_patch.state", "old");

    ASSERT_EQ(Publish(), kExitOk) << errors.str();
    std::string manifest = ReadBytes(Served("manifest.txt"));
    EXPECT_EQ(ReadBytes(Served("version.txt")), "1\n");
    ASSERT_FALSE(manifest.empty());
    EXPECT_EQ(manifest.back(), '\n');
    EXPECT_EQ(CountManifestLines(manifest.c_str()), static_cast<int>(files.size()));
    EXPECT_FALSE(fs::exists(Served("SKH2026_Patcher.exe")));
    EXPECT_FALSE(fs::exists(Served("SKH2026_patch.state")));
    EXPECT_NE(report.str().find("SKH2026_Patcher.exe"), std::string::npos);

    std::vector<std::string> order;
    char* cursor = &manifest[0];
    while (char* line = NextManifestLine(&cursor)) {
        ManifestEntry entry;
        ASSERT_TRUE(ParseManifestEntry(line, &entry)) << line;
        order.push_back(entry.path);
        EXPECT_FALSE(IsRefusedPath(entry.path));
        std::string client_name;
        for (const auto& file : files) {
            std::string published;
            Utf8ToWindows1252(file.first, &published);
            if (published == entry.path)
                client_name = file.first;
        }
        ASSERT_FALSE(client_name.empty()) << PrintableName(entry.path);
        const std::string content = ReadBytes(client / client_name);
        const long long size = static_cast<long long>(content.size());
        // The served copy lies under the manifest's own bytes, where a web server decoding
        // the launcher's %XX request looks for it.
        EXPECT_EQ(ReadBytes(Served(entry.path)), content);
        EXPECT_EQ(entry.digest, Sha1Hex(content));

        // A game folder holding the client's file: kept after a version change.
        EntryAction action = DecideEntry(true, false, size, entry.size, entry.digest, true);
        ASSERT_EQ(action, EntryAction::Hash);
        EXPECT_EQ(DecideAfterHash(true, Sha1Hex(content).c_str(), entry.digest), EntryAction::Keep);
        // One wrong byte at the same size is found, and a missing file is fetched.
        if (!content.empty()) {
            std::string changed = content;
            changed[0] ^= 1;
            EXPECT_EQ(DecideAfterHash(true, Sha1Hex(changed).c_str(), entry.digest),
                      EntryAction::Download);
        }
        EXPECT_EQ(DecideEntry(false, false, 0, entry.size, entry.digest, false),
                  EntryAction::Download);
    }
    EXPECT_EQ(order,
              (std::vector<std::string>{"Data2/\x80.dat", "SKH2026.exe", "caf\xE9/r\xE9sum\xE9.txt",
                                        "data/empty.bin", "dir one/sub/a b.txt"}));
    EXPECT_EQ(Verify(), kExitOk) << errors.str();
}

TEST_F(PublishTree, RefusedNamesAreNamedAndNothingIsPublished) {
    WriteBytes(client / "good.txt", "fine");
    ASSERT_EQ(Publish("v1"), kExitOk);
    const std::string servedManifest = ReadBytes(Served("manifest.txt"));

    const std::vector<std::string> refused = {
        "bad|bar.txt",  "dir/bad:colon.txt", "\xE6\x97\xA5\xE6\x9C\xAC.txt",
        "#comment.txt", "trailing.",         "d/" + std::string(240, 'L'),
    };
    for (const std::string& name : refused) {
        fs::remove_all(client);
        WriteBytes(client / "good.txt", "changed");
        WriteBytes(client / name, "x");
        EXPECT_EQ(Publish("v2"), kExitProblems) << name;
        EXPECT_NE(errors.str().find(PrintableName(name)), std::string::npos) << errors.str();
        // The served tree is still the old one, and no staging folder is left behind.
        EXPECT_EQ(ReadBytes(Served("manifest.txt")), servedManifest);
        EXPECT_EQ(ReadBytes(Served("version.txt")), "v1\n");
        EXPECT_FALSE(fs::exists(out / ".skh-full.new"));
    }
}

TEST_F(PublishTree, AnEmptyClientIsNotPublished) {
    fs::create_directories(client / "empty folder");
    EXPECT_EQ(Publish(), kExitUsage);
    EXPECT_FALSE(fs::exists(out / "skh-full"));
}

TEST_F(PublishTree, NamesThatDifferOnlyInCaseAreRefused) {
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
    EXPECT_EQ(ReadBytes(Served("version.txt")), "1\n");
    ASSERT_EQ(Publish(), kExitOk);
    EXPECT_EQ(ReadBytes(Served("version.txt")), "2\n");
    ASSERT_EQ(Publish("2026.07"), kExitOk);
    ASSERT_EQ(Publish(), kExitOk);
    EXPECT_EQ(ReadBytes(Served("version.txt")), "2026.08\n");

    // Republishing the same files under the same version is harmless; other files are not.
    EXPECT_EQ(Publish("2026.08"), kExitOk);
    WriteBytes(client / "a.txt", "two");
    EXPECT_EQ(Publish("2026.08"), kExitUsage);
    EXPECT_EQ(ReadBytes(Served("a.txt")), "one");

    // A file gone from the client is gone from the served tree.
    WriteBytes(client / "b.txt", "bee");
    ASSERT_EQ(Publish(), kExitOk);
    fs::remove(client / "b.txt");
    ASSERT_EQ(Publish(), kExitOk);
    EXPECT_FALSE(fs::exists(Served("b.txt")));
    EXPECT_EQ(Verify(), kExitOk) << errors.str();

    ASSERT_EQ(Publish("beta"), kExitOk);
    EXPECT_EQ(Publish(), kExitUsage);
    EXPECT_NE(errors.str().find("--version"), std::string::npos);
    EXPECT_EQ(Publish(std::string(128, 'v')), kExitUsage);
}

TEST_F(PublishTree, VerifyFindsChangedMissingResizedAndUnlistedFiles) {
    WriteBytes(client / "keep.txt", "unchanged");
    WriteBytes(client / "flip.txt", "abcdef");
    WriteBytes(client / "gone/file.txt", "here");
    WriteBytes(client / "grow.txt", "123");
    ASSERT_EQ(Publish(), kExitOk);
    ASSERT_EQ(Verify(), kExitOk) << errors.str();

    WriteBytes(Served("flip.txt"), "abcdeF");
    EXPECT_EQ(Verify(), kExitProblems);
    EXPECT_NE(errors.str().find("\"flip.txt\": SHA-1"), std::string::npos) << errors.str();
    WriteBytes(Served("flip.txt"), "abcdef");

    fs::remove(Served("gone/file.txt"));
    EXPECT_EQ(Verify(), kExitProblems);
    EXPECT_NE(errors.str().find("\"gone/file.txt\": listed, but missing"), std::string::npos);
    WriteBytes(Served("gone/file.txt"), "here");

    WriteBytes(Served("grow.txt"), "1234");
    EXPECT_EQ(Verify(), kExitProblems);
    EXPECT_NE(errors.str().find("\"grow.txt\": size is 4 bytes, the manifest says 3"),
              std::string::npos);
    WriteBytes(Served("grow.txt"), "123");

    WriteBytes(Served("extra.txt"), "?");
    EXPECT_EQ(Verify(), kExitProblems);
    EXPECT_NE(errors.str().find("\"extra.txt\": not listed"), std::string::npos);
    fs::remove(Served("extra.txt"));

    EXPECT_EQ(Verify(), kExitOk) << errors.str();
    fs::remove(Served("version.txt"));
    EXPECT_EQ(Verify(), kExitProblems);
}
