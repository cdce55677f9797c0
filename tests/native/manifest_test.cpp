// Manifest lines and entries, the keep-or-download table, refused paths, the 259 and 2,047
// limits and the address encoder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/game_path.h"
#include "base/text_lines.h"
#include "patch/manifest.h"

namespace {

std::vector<std::string> Lines(std::string text) {
    std::vector<std::string> out;
    char* cursor = &text[0];
    while (char* line = NextLine(&cursor))
        out.push_back(line);
    return out;
}

const char kDigest[] = "0123456789abcdef0123456789abcdef01234567";

TEST(ManifestLines, RunsOfLineEndsSplitAndTheTotalCountsLineFeeds) {
    EXPECT_EQ(Lines("a|1|x\r\nb|2|y\n\n\r\rc|3|z"),
              (std::vector<std::string>{"a|1|x", "b|2|y", "c|3|z"}));
    EXPECT_EQ(Lines("\r\n  pad | 1 | d  \r"), (std::vector<std::string>{"  pad | 1 | d  "}));
    EXPECT_EQ(CountManifestLines("a|1|x\nb|1|x\nc|1|x\n"), 3);
    EXPECT_EQ(CountManifestLines("a|1|x\r\nb|1|x"), 2);
    EXPECT_EQ(CountManifestLines(""), 1);
    EXPECT_EQ(CountManifestLines("a|1|x\n\r"), 1);       // a trailing CR is no line of its own
    EXPECT_EQ(CountManifestLines("a\nb\n\0c\nd\n"), 2);  // the text ends at the first zero byte
    // 16 entries and 4 comments: 5 + 90 * 8 / 20 = 41, 5 + 90 * 16 / 20 = 77. Entries split
    // by bare CRs outnumber the line feeds; the bar still stops at 95.
    EXPECT_EQ(ManifestProgress(8, 20), 41);
    EXPECT_EQ(ManifestProgress(16, 20), 77);
    EXPECT_EQ(ManifestProgress(2, 1), 95);
    EXPECT_EQ(ManifestProgress(2000000000, 2000000000), 95);
}

TEST(ManifestEntries, PathSizeAndDigestAtTheFirstTwoBars) {
    char line[] = "data/a b.pak|1024|big|extra";
    ManifestEntry entry;
    ASSERT_TRUE(ParseManifestEntry(line, &entry));
    EXPECT_STREQ(entry.path, "data/a b.pak");
    EXPECT_EQ(entry.size, 1024);
    EXPECT_STREQ(entry.digest, "big|extra");
    char comment[] = "#a|1|x", oneBar[] = "a|1";
    EXPECT_FALSE(ParseManifestEntry(comment, &entry));
    EXPECT_FALSE(ParseManifestEntry(oneBar, &entry));
    EXPECT_EQ(ParseSizeField("  +42abc"), 42);
    EXPECT_EQ(ParseSizeField("-1"), -1);
    EXPECT_EQ(ParseSizeField("abc"), 0);
    EXPECT_EQ(ParseSizeField("6442450944"), 6442450944LL);
    EXPECT_EQ(ParseSizeField("99999999999999999999999"), INT64_MAX);
}

TEST(ManifestDecision, EveryRowOfTheTable) {
    using A = EntryAction;
    const std::string upper = "0123456789ABCDEF0123456789ABCDEF01234567";
    const std::string short39(kDigest, 39), long41 = std::string(kDigest) + "8";
    const struct {
        bool exists, isDirectory;
        long long fileSize, sizeField;
        std::string digest;
        bool versionChanged;
        A action;
    } rows[] = {
        {false, false, 0, 10, "big", false, A::Download},
        {true, true, 10, 10, kDigest, false, A::Download},
        {true, false, 9, 10, "big", false, A::Download},
        {true, false, 0, -1, "", false, A::Download},  // a negative size never matches
        {true, false, 10, 10, "big", true, A::Keep},
        {true, false, 10, 10, "", true, A::Keep},
        {true, false, 10, 10, short39 + " ", true, A::Keep},
        {true, false, 10, 10, kDigest, false, A::Keep},
        {true, false, 52428801, 52428801, kDigest, true, A::Keep},
        {true, false, 52428800, 52428800, kDigest, true, A::Hash},
        {true, false, 10, 10, short39, true, A::Keep},
        {true, false, 10, 10, long41, true, A::Keep},
        {true, false, 10, 10, upper, true, A::Hash},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DecideEntry(row.exists, row.isDirectory, row.fileSize, row.sizeField,
                              row.digest.c_str(), row.versionChanged),
                  row.action)
            << row.digest << " " << row.sizeField;
    }
    EXPECT_EQ(DecideAfterHash(false, "", kDigest), A::Keep);
    EXPECT_EQ(DecideAfterHash(true, kDigest, kDigest), A::Keep);
    EXPECT_EQ(DecideAfterHash(true, kDigest, long41.substr(1).c_str()), A::Download);
    // An upper-case field is valid but never equals the lower-case computed digest.
    EXPECT_EQ(DecideAfterHash(true, kDigest, upper.c_str()), A::Download);
}

TEST(ManifestPaths, RefusesWhatCouldLeaveTheGameFolderOrNameADevice) {
    for (const char* path :
         {"/etc/passwd", "\\Windows\\win.ini", "C:\\x.dll", "c:x", "data/file.txt:stream", "../x",
          "a/../../x", "a\\..\\x", "..", "a/.../b", "a/.. /b", "NUL", "data/con.txt", "lpt1",
          "Com9.log", "\\\\server\\share\\x",
          // Superscript digits name ports too; so do short names and the launcher's own files.
          "COM\xB9", "lpt\xB2.txt", "d/Com\xB3 .log", "SKH202~1.SEQ", "d/PROGR~12/x", "DATA~1. ",
          "skh2026_PATCH.sequence", "./SKH2026_Patcher.exe", "SKH2026_patch.state.tmp",
          "_skh_update.bat. ", "SKH2026_Patcher.exe.local", "_skh_runtime/version.dll"}) {
        EXPECT_TRUE(IsRefusedPath(path)) << path;
    }
    for (const char* path : {"data/a.pak", "a b/c d.txt", ".hidden", "a/./b", "a..b", "..a",
                             "console.txt", "com10", "COM\xB9x", "nulled/x", "", "\xE9t\xE9.txt",
                             "longname~1.txt", "DATA~1.PAKS", "a~.txt", "d/SKH2026_patch.state"}) {
        EXPECT_FALSE(IsRefusedPath(path)) << path;
    }
}

TEST(ManifestPaths, LocalPathsAndAddressesAreRefusedRatherThanCut) {
    char out[4096];  // larger than both limits, so the limits themselves are what refuses
    ASSERT_TRUE(GameFolderPath("C:\\Games\\SKH\\", "dir one/a b.txt", out, 260));
    EXPECT_STREQ(out, "C:\\Games\\SKH\\dir one\\a b.txt");
    // "C:\G\" is 5 characters: 254 more make 259, 255 would be cut.
    EXPECT_TRUE(GameFolderPath("C:\\G\\", std::string(254, 'a').c_str(), out, sizeof(out)));
    EXPECT_FALSE(GameFolderPath("C:\\G\\", std::string(255, 'a').c_str(), out, sizeof(out)));
    EXPECT_STREQ(out, "");
    EXPECT_FALSE(GameFolderPath("", "SKH2026.exe", out, 260));

    const struct {
        const char* path;
        const char* encoded;
    } rows[] = {{"dir one/a b.txt", "dir%20one/a%20b.txt"},
                {"a\\b", "a%5Cb"},
                {"\xE9t\xE9~_-.", "%E9t%E9~_-."},
                {"100%+#?&", "100%25%2B%23%3F%26"}};
    for (const auto& row : rows) {
        ASSERT_TRUE(EncodeUrlPath(row.path, out, sizeof(out))) << row.path;
        EXPECT_STREQ(out, row.encoded);
    }
    // Room for three characters is checked before each byte: 2045 fit in 2,047, a 2046th
    // could be cut.
    EXPECT_TRUE(EncodeUrlPath(std::string(2045, 'a').c_str(), out, sizeof(out)));
    EXPECT_FALSE(EncodeUrlPath(std::string(2046, 'a').c_str(), out, sizeof(out)));
}

}  // namespace
