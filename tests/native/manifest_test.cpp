// Manifest lines and entries, the keep-or-download table, refused paths and the encoder.
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

const char* kDigest = "0123456789abcdef0123456789abcdef01234567";

}  // namespace

TEST(ManifestLines, SplitAtRunsOfCarriageReturnsAndLineFeedsWithoutTrimming) {
    EXPECT_EQ(Lines("a|1|x\r\nb|2|y\n\n\r\rc|3|z"),
              (std::vector<std::string>{"a|1|x", "b|2|y", "c|3|z"}));
    EXPECT_EQ(Lines("\r\n  pad | 1 | d  \r"), (std::vector<std::string>{"  pad | 1 | d  "}));
    EXPECT_TRUE(Lines("").empty());
    EXPECT_TRUE(Lines("\r\n\r\n").empty());
}

TEST(ManifestLines, TotalCountsLineFeedsAndAnUnterminatedLastLine) {
    EXPECT_EQ(CountManifestLines("a|1|x\nb|1|x\nc|1|x\n"), 3);
    EXPECT_EQ(CountManifestLines("a|1|x\r\nb|1|x"), 2);
    EXPECT_EQ(CountManifestLines("a|1|x"), 1);
    EXPECT_EQ(CountManifestLines(""), 1);
    EXPECT_EQ(CountManifestLines("a|1|x\n\r"), 1);  // a trailing CR is a line end, not a line
    std::string twenty;
    for (int i = 0; i < 16; ++i)
        twenty += "f" + std::to_string(i) + "|1|big\n";
    for (int i = 0; i < 4; ++i)
        twenty += "# comment\n";
    EXPECT_EQ(CountManifestLines(twenty.c_str()), 20);
    // The count stops at the first zero byte.
    const char withZero[] = "a\nb\n\0c\nd\n";
    EXPECT_EQ(CountManifestLines(withZero), 2);
}

TEST(ManifestLines, ProgressFollowsTheFormulaAndStaysWithinTheStage) {
    EXPECT_EQ(ManifestProgress(8, 20), 41);
    EXPECT_EQ(ManifestProgress(16, 20), 77);
    EXPECT_EQ(ManifestProgress(20, 20), 95);
    // Entries separated by bare CRs outnumber the line feeds; the bar still ends at 95.
    EXPECT_EQ(ManifestProgress(2, 1), 95);
    EXPECT_EQ(ManifestProgress(2000000000, 2000000000), 95);
}

TEST(ManifestEntries, SplitIntoPathSizeAndDigest) {
    char line[] = "data/a b.pak|1024|big|extra";
    ManifestEntry entry;
    ASSERT_TRUE(ParseManifestEntry(line, &entry));
    EXPECT_STREQ(entry.path, "data/a b.pak");
    EXPECT_EQ(entry.size, 1024);
    EXPECT_STREQ(entry.digest, "big|extra");

    char empty[] = "||";
    ASSERT_TRUE(ParseManifestEntry(empty, &entry));
    EXPECT_STREQ(entry.path, "");
    EXPECT_EQ(entry.size, 0);
    EXPECT_STREQ(entry.digest, "");

    char comment[] = "#a|1|x";
    char oneBar[] = "a|1";
    char none[] = "plain text";
    EXPECT_FALSE(ParseManifestEntry(comment, &entry));
    EXPECT_FALSE(ParseManifestEntry(oneBar, &entry));
    EXPECT_FALSE(ParseManifestEntry(none, &entry));
}

TEST(ManifestEntries, SizeFieldFollowsStrtollRules) {
    EXPECT_EQ(ParseSizeField("  42abc"), 42);
    EXPECT_EQ(ParseSizeField("+7"), 7);
    EXPECT_EQ(ParseSizeField("-1"), -1);
    EXPECT_EQ(ParseSizeField("abc"), 0);
    EXPECT_EQ(ParseSizeField(""), 0);
    EXPECT_EQ(ParseSizeField("99999999999999999999999"), INT64_MAX);
    EXPECT_EQ(ParseSizeField("-99999999999999999999999"), INT64_MIN);
    EXPECT_EQ(ParseSizeField("6442450944"), 6442450944LL);
}

TEST(ManifestDecision, EveryRowOfTheTable) {
    using A = EntryAction;
    // 1: missing or a directory
    EXPECT_EQ(DecideEntry(false, false, 0, 10, "big", false), A::Download);
    EXPECT_EQ(DecideEntry(true, true, 10, 10, kDigest, false), A::Download);
    // 2: size differs, also for a negative size field
    EXPECT_EQ(DecideEntry(true, false, 9, 10, "big", false), A::Download);
    EXPECT_EQ(DecideEntry(true, false, 0, -1, "", false), A::Download);
    // 3, 4, 5: big, empty, not hexadecimal
    EXPECT_EQ(DecideEntry(true, false, 10, 10, "big", true), A::Keep);
    EXPECT_EQ(DecideEntry(true, false, 10, 10, "", true), A::Keep);
    EXPECT_EQ(DecideEntry(true, false, 10, 10, "0123456789abcdef0123456789abcdef0123456 ", true),
              A::Keep);
    // 6: version unchanged
    EXPECT_EQ(DecideEntry(true, false, 10, 10, kDigest, false), A::Keep);
    // 7: above the digest size limit; the limit itself is hashed
    EXPECT_EQ(DecideEntry(true, false, 52428801, 52428801, kDigest, true), A::Keep);
    EXPECT_EQ(DecideEntry(true, false, 52428800, 52428800, kDigest, true), A::Hash);
    // 8: 39 or 41 digits
    EXPECT_EQ(DecideEntry(true, false, 10, 10, "0123456789abcdef0123456789abcdef0123456", true),
              A::Keep);
    EXPECT_EQ(DecideEntry(true, false, 10, 10, "0123456789abcdef0123456789abcdef012345678", true),
              A::Keep);
    // 9, 10, 11
    EXPECT_EQ(DecideAfterHash(false, "", kDigest), A::Keep);
    EXPECT_EQ(DecideAfterHash(true, kDigest, kDigest), A::Keep);
    EXPECT_EQ(DecideAfterHash(true, kDigest, "0123456789abcdef0123456789abcdef01234568"),
              A::Download);
    // An uppercase field is valid but never equals the lowercase computed digest.
    EXPECT_EQ(DecideEntry(true, false, 10, 10, "0123456789ABCDEF0123456789ABCDEF01234567", true),
              A::Hash);
    EXPECT_EQ(DecideAfterHash(true, kDigest, "0123456789ABCDEF0123456789ABCDEF01234567"),
              A::Download);
}

TEST(ManifestPaths, RefusesWhatCouldLeaveTheGameFolderOrNameADevice) {
    for (const char* path :
         {"/etc/passwd", "\\Windows\\win.ini", "C:\\x.dll", "c:x", "a/b:c", "data/file.txt:stream",
          "../x", "a/../../x", "a\\..\\x", "a/..", "..", "a/.../b", "a/.. /b", "NUL",
          "data/con.txt", "lpt1", "Com9.log", "aux", "\\\\server\\share\\x"}) {
        EXPECT_TRUE(IsRefusedPath(path)) << path;
    }
    for (const char* path : {"data/a.pak", "a b/c d.txt", ".hidden", "a/./b", "a..b", "..a",
                             "console.txt", "com", "com10", "nulled/x", "", "\xE9t\xE9.txt"}) {
        EXPECT_FALSE(IsRefusedPath(path)) << path;
    }
}

TEST(ManifestPaths, LocalPathTurnsSlashesAndRefusesWhatWouldBeCut) {
    char out[260];
    ASSERT_TRUE(GameFolderPath("C:\\Games\\SKH\\", "dir one/a b.txt", out, sizeof(out)));
    EXPECT_STREQ(out, "C:\\Games\\SKH\\dir one\\a b.txt");
    std::string dir = "C:\\G\\";  // 5 characters
    EXPECT_TRUE(GameFolderPath(dir.c_str(), std::string(254, 'a').c_str(), out, sizeof(out)));
    EXPECT_EQ(std::string(out).size(), 259u);
    EXPECT_FALSE(GameFolderPath(dir.c_str(), std::string(255, 'a').c_str(), out, sizeof(out)));
}

TEST(ManifestPaths, EncoderKeepsUnreservedBytesAndEscapesTheRest) {
    char out[2048];
    ASSERT_TRUE(EncodeUrlPath("dir one/a b.txt", out, sizeof(out)));
    EXPECT_STREQ(out, "dir%20one/a%20b.txt");
    ASSERT_TRUE(EncodeUrlPath("a\\b", out, sizeof(out)));
    EXPECT_STREQ(out, "a%5Cb");
    ASSERT_TRUE(EncodeUrlPath("\xE9t\xE9~_-.", out, sizeof(out)));
    EXPECT_STREQ(out, "%E9t%E9~_-.");
    ASSERT_TRUE(EncodeUrlPath("100%+#?&", out, sizeof(out)));
    EXPECT_STREQ(out, "100%25%2B%23%3F%26");
}

TEST(ManifestPaths, EncoderRefusesAPathThatWouldBeCut) {
    char out[2048];
    // Room for three more characters is needed before each byte: 2045 plain bytes fit...
    ASSERT_TRUE(EncodeUrlPath(std::string(2045, 'a').c_str(), out, sizeof(out)));
    EXPECT_EQ(std::string(out).size(), 2045u);
    // ...a 2046th would be dropped, so the path is refused.
    EXPECT_FALSE(EncodeUrlPath(std::string(2046, 'a').c_str(), out, sizeof(out)));
    EXPECT_TRUE(EncodeUrlPath(std::string(682, ' ').c_str(), out, sizeof(out)));
    EXPECT_FALSE(EncodeUrlPath(std::string(683, ' ').c_str(), out, sizeof(out)));
}
