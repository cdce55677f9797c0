// What the launcher reads from the server and decides from it: manifest lines and entries, news
// entries, the keep-or-download table, refused paths, path and address limits, retries and
// resumes; chunk boundaries, chunk indexes and the chunk sync plan.
#include <gtest/gtest.h>
#include <openssl/sha.h>
#include <string.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "base/game_path.h"
#include "base/http_range.h"
#include "base/http_retry.h"
#include "base/text_lines.h"
#include "news/news_parse.h"
#include "patch/chunk_fingerprint.h"
#include "patch/chunk_plan.h"
#include "patch/chunker.h"
#include "patch/manifest.h"
#include "tools/chunk_index_writer.h"
#include "tools/file_jobs.h"
#include "tools/sha1.h"

namespace {

const char kDigest[] = "0123456789abcdef0123456789abcdef01234567";

TEST(ManifestLines, LineEndsCountsProgressAndTheFieldsOfAnEntry) {
    char text[] = "\r\n  pad | 1 | d  \ra|1|x\r\nb|2|y\n\n\r\rc|3|z";
    std::vector<std::string> lines;
    for (char* cursor = text; char* line = NextLine(&cursor);)
        lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"  pad | 1 | d  ", "a|1|x", "b|2|y", "c|3|z"}));
    // A trailing CR is no line of its own; the text ends at the first zero byte.
    const char* texts[] = {"a|1|x\nb|1|x\nc|1|x\n", "a|1|x\r\nb|1|x", "", "a|1|x\n\r",
                           "a\nb\n\0c\nd\n"};
    const int counts[] = {3, 2, 1, 1, 2};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(CountManifestLines(texts[i]), counts[i]) << texts[i];
    EXPECT_EQ(ManifestProgress(2000000000, 2000000000), 95);  // no overflow on the way
    char line[] = "data/a b.pak|1024|big|extra";
    ManifestEntry entry;
    ASSERT_TRUE(ParseManifestEntry(line, &entry));
    EXPECT_EQ(entry.path + std::string(",") + std::to_string(entry.size) + "," + entry.digest,
              "data/a b.pak,1024,big|extra");
    char comment[] = "#a|1|x", oneBar[] = "a|1";
    EXPECT_FALSE(ParseManifestEntry(comment, &entry) || ParseManifestEntry(oneBar, &entry));
    const char* fields[] = {"  +42abc", "-1", "abc", "6442450944", "99999999999999999999999"};
    const long long sizes[] = {42, -1, 0, 6442450944LL, INT64_MAX};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(ParseSizeField(fields[i]), sizes[i]) << fields[i];
}

template <size_t N>
std::string Field(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

// Entries as "tag|title|body", parsed into an array of the launcher's size for ASan to guard.
void ExpectEntries(std::string text, const std::vector<std::string>& expected) {
    SCOPED_TRACE(testing::PrintToString(text.substr(0, 60)));
    NewsItem items[kNewsItemsMax];
    memset(items, 0x5a, sizeof(items));
    text.push_back('\0');
    std::vector<std::string> entries(ParseNewsText(&text[0], items, kNewsItemsMax));
    for (size_t i = 0; i < entries.size(); ++i)
        entries[i] = Field(items[i].tag) + "|" + Field(items[i].title) + "|" + Field(items[i].body);
    EXPECT_EQ(entries, expected);
}

TEST(NewsParseTest, EntriesFromTheLinesAServerSendsCutToTheirSizesAndFiveAtMost) {
    ExpectEntries(
        "EVENT|Double drop|All weekend\r\nINFO|Server up\r\nFEST|Lentera|Mon | Wed\n|\n",
        {"EVENT|Double drop|All weekend", "INFO|Server up|", "FEST|Lentera|Mon | Wed", "||"});
    ExpectEntries("  HOT NEW \t|  Big   update  |\tpatch  notes  \n",
                  {"HOT NEW|Big   update|patch  notes"});
    ExpectEntries("# TAG|Title|a comment\n   #indented|comment\n \t\nno bar\nA#|not a comment",
                  {"A#|not a comment|"});
    ExpectEntries(
        std::string(25, 't') + "|" + std::string(120, 'T') + "|" + std::string(161, 'b'),
        {std::string(23, 't') + "|" + std::string(119, 'T') + "|" + std::string(159, 'b')});
    ExpectEntries("A|1\nB|2\nC|3\nD|4\nE|5\nF|6\nG|7\n", {"A|1|", "B|2|", "C|3|", "D|4|", "E|5|"});
}

TEST(ManifestDecision, EveryRowOfTheTable) {
    using A = EntryAction;
    const std::string upper = "0123456789ABCDEF0123456789ABCDEF01234567";
    const std::string short39(kDigest, 39), long41 = std::string(kDigest) + "8";
    // With a chunk index (indexed) a file of the right size is read after every version change.
    const struct {
        bool exists, isDirectory;
        long long fileSize, sizeField;
        std::string digest;
        bool versionChanged;
        A action, indexed;
    } rows[] = {
        {false, false, 0, 10, "big", false, A::Download, A::Sync},
        {true, true, 10, 10, kDigest, false, A::Download, A::Sync},
        {true, false, 9, 10, "big", false, A::Download, A::Sync},
        {true, false, 0, -1, "", false, A::Download, A::Sync},  // a negative size never matches
        {true, false, 10, 10, "big", true, A::Keep, A::Sync},
        {true, false, 10, 10, "", true, A::Keep, A::Sync},
        {true, false, 10, 10, short39 + " ", true, A::Keep, A::Sync},
        {true, false, 10, 10, kDigest, false, A::Keep, A::Keep},
        {true, false, 52428801, 52428801, kDigest, true, A::Keep, A::Sync},
        {true, false, 52428800, 52428800, kDigest, true, A::Hash, A::Sync},
        {true, false, 10, 10, short39, true, A::Keep, A::Sync},
        {true, false, 10, 10, long41, true, A::Keep, A::Sync},
        {true, false, 10, 10, upper, true, A::Hash, A::Sync},
    };
    for (const auto& row : rows) {
        const auto e = row.exists, d = row.isDirectory, v = row.versionChanged;
        EXPECT_EQ(
            std::make_pair(DecideEntry(e, d, row.fileSize, row.sizeField, row.digest.c_str(), v),
                           DecideIndexedEntry(e, d, row.fileSize, row.sizeField, v)),
            std::make_pair(row.action, row.indexed))
            << row.digest << " " << row.sizeField;
    }
    // An upper-case field is valid but never equals the lower-case computed digest.
    EXPECT_TRUE(DecideAfterHash(false, "", kDigest) == A::Keep &&
                DecideAfterHash(true, kDigest, kDigest) == A::Keep &&
                DecideAfterHash(true, kDigest, long41.substr(1).c_str()) == A::Download &&
                DecideAfterHash(true, kDigest, upper.c_str()) == A::Download);
}

TEST(ManifestPaths, RefusesWhatCouldLeaveTheGameFolderOrNameADeviceAndWhatWouldBeCut) {
    for (const char* path :
         {"/etc/passwd", "\\Windows\\win.ini", "C:\\x.dll", "c:x", "data/file.txt:stream", "../x",
          "a/../../x", "a\\..\\x", "..", "a/.../b", "a/.. /b", "NUL", "data/con.txt", "lpt1",
          "Com9.log", "\\\\server\\share\\x",
          // Superscript digits name ports too; so do short names and the launcher's own files.
          "COM\xB9", "lpt\xB2.txt", "d/Com\xB3 .log", "SKH202~1.SEQ", "d/PROGR~12/x", "DATA~1. ",
          "skh2026_PATCH.sequence", "./SKH2026_Patcher.exe", "SKH2026_patch.state.tmp",
          "_skh_update.bat. ", "SKH2026_Patcher.exe.local", "_skh_runtime/version.dll"})
        EXPECT_TRUE(IsRefusedPath(path)) << path;
    for (const char* path : {"data/a.pak", "a b/c d.txt", ".hidden", "a/./b", "a..b", "..a",
                             "console.txt", "com10", "COM\xB9x", "nulled/x", "", "\xE9t\xE9.txt",
                             "longname~1.txt", "DATA~1.PAKS", "a~.txt", "d/SKH2026_patch.state"})
        EXPECT_FALSE(IsRefusedPath(path)) << path;
    // Local paths and addresses too long are refused rather than cut.
    char out[4096];  // larger than both limits, so the limits themselves are what refuses
    ASSERT_TRUE(GameFolderPath("C:\\Games\\SKH\\", "dir one/a b.txt", out, 260));
    EXPECT_STREQ(out, "C:\\Games\\SKH\\dir one\\a b.txt");
    // "C:\G\" is 5 characters: 254 more make 259, 255 would be cut.
    EXPECT_TRUE(GameFolderPath("C:\\G\\", std::string(254, 'a').c_str(), out, sizeof(out)));
    EXPECT_FALSE(GameFolderPath("C:\\G\\", std::string(255, 'a').c_str(), out, sizeof(out)));
    EXPECT_STREQ(out, "");
    EXPECT_FALSE(GameFolderPath("", "SKH2026.exe", out, 260));

    ASSERT_TRUE(EncodeUrlPath("dir one/a\\b\xE9~_-.100%+#?&\x01\x7F", out, sizeof(out)));
    EXPECT_STREQ(out, "dir%20one/a%5Cb%E9~_-.100%25%2B%23%3F%26%01%7F");
    // Room for three characters is checked before each byte: 2045 fit in 2,047, a 2046th not.
    EXPECT_TRUE(EncodeUrlPath(std::string(2045, 'a').c_str(), out, sizeof(out)));
    EXPECT_FALSE(EncodeUrlPath(std::string(2046, 'a').c_str(), out, sizeof(out)));
}

TEST(Transfer, OnlyFaultsThatMayPassAreTriedAgainAfterGrowingPauses) {
    for (unsigned long status : {500ul, 503ul, 599ul, 408ul, 429ul})
        EXPECT_TRUE(IsTransientStatus(status)) << status;
    for (unsigned long status : {200ul, 206ul, 301ul, 400ul, 403ul, 404ul, 410ul, 499ul, 600ul})
        EXPECT_FALSE(IsTransientStatus(status)) << status;
    // A timeout, an abort, a reset, a broken answer; not a refused connection, an unknown host
    // or a certificate the launcher does not trust.
    for (unsigned long error : {12002ul, 12030ul, 12031ul, 12152ul})
        EXPECT_TRUE(IsTransientError(error)) << error;
    for (unsigned long error : {12029ul, 12007ul, 12038ul, 12045ul, 0ul})
        EXPECT_FALSE(IsTransientError(error)) << error;
    const int usual[] = {0, 1000, 2000, 4000};
    for (int retry = 1; retry <= 3; ++retry) {
        EXPECT_EQ(RetryPauseMs(retry, nullptr, 0), usual[retry]);
        // Too long, a date, a sign, a fraction, empty: the usual pause.
        for (const char* asked : {"31", "Wed, 21 Oct 2026 07:28:00 GMT", "-1", "1.5", ""})
            EXPECT_EQ(RetryPauseMs(retry, asked, strlen(asked)), usual[retry]) << asked;
    }
    EXPECT_EQ(RetryPauseMs(1, "30", 2), 30000);
    EXPECT_EQ(RetryPauseMs(3, "0", 1), 0);
}

TEST(Transfer, AResumeNamesTheRestAndTheFirstValidatorAndTakesOnlyTheExactRange) {
    char out[kRangeHeaderSize + kValidatorSize + 16];
    ASSERT_TRUE(WriteResumeHeaders(4294967296LL, "\"5f2a-9c4\"", out, sizeof(out)));
    EXPECT_STREQ(out, "Range: bytes=4294967296-\r\nIf-Range: \"5f2a-9c4\"\r\n");
    // No validator, or one that would end the header line or carry other bytes: no resume.
    for (const char* validator : {"", "\"a\"\r\nX-Evil: 1", "\"a\"\n", "\"\xE9\"", "\"\x7f\""})
        EXPECT_FALSE(WriteResumeHeaders(1, validator, out, sizeof(out))) << validator;
    EXPECT_FALSE(WriteResumeHeaders(1, std::string(kValidatorSize, 'v').c_str(), out, 64));
    // Ranges past 4 GiB: only the exact answer to the range asked.
    EXPECT_TRUE(ContentRangeMatches("bytes 4294967296-4295032831/6442450944", 4294967296LL,
                                    4295032831LL, 6442450944LL));
    for (const char* other : {"bytes 0-65535/6442450944", "bytes 4294967296-4295032831/*",
                              "bytes 04294967296-4295032831/6442450944", "bytes */6442450944",
                              "bytes 4294967296-4295032831/6442450944 ", ""})
        EXPECT_FALSE(ContentRangeMatches(other, 4294967296LL, 4295032831LL, 6442450944LL)) << other;
}

// Bytes of a 32-bit linear congruential generator, the same on every machine.
std::string Generated(size_t size, uint32_t seed = 12345) {
    std::string out(size, '\0');
    for (char& c : out) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    return out;
}

// The end offset of every chunk, the bytes given to the cutter in pieces of `piece` bytes.
std::vector<uint64_t> ChunkEnds(const std::string& bytes, size_t piece) {
    std::vector<uint64_t> ends;
    ChunkCutter cutter;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (size_t at = 0; at < bytes.size();) {
        bool cut = false;
        at += FindChunkEnd(&cutter, data + at, std::min(piece, bytes.size() - at), &cut);
        if (cut)
            ends.push_back(at);
    }
    if (cutter.length > 0)
        ends.push_back(bytes.size());
    return ends;
}

// The index of bytes, made by the publishing tool from a file.
ChunkIndex IndexOf(const std::string& bytes) {
    const std::string path = testing::TempDir() + "skh_chunk_test.bin";
    EXPECT_TRUE(WriteWholeFile(path, bytes));
    ChunkIndex index;
    std::string error;
    EXPECT_TRUE(MakeChunkIndex(path, &index, &error)) << error;
    std::filesystem::remove(path);
    return index;
}

TEST(ChunkSync, BoundariesAndFingerprintsArePinnedAndAnInsertionShiftsTheLaterChunksStillCopied) {
    const std::string bytes = Generated(3 << 20);
    const std::vector<uint64_t> ends = ChunkEnds(bytes, 1 << 20);
    EXPECT_EQ(ChunkEnds(bytes, 7), ends);
    // Computed by an independent script of the same gear table and masks: the SHA-256 of all 42
    // ends as little-endian 64-bit numbers (the first two: 98623, 143095).
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(ends.data()), ends.size() * 8, digest);
    EXPECT_EQ(LowerHex(digest, sizeof(digest)),
              "ababda98109f326f93a2c7ea2ca48046c7baf36c121ca3a9c439691e7132705a");
    // The fingerprint of the first 100,003 bytes (the last stripe short) from an independent
    // script of the same lanes and mixing: in pieces of 7, then again whole.
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    ChunkFingerprinter fingerprinter;
    for (size_t at = 0; at < 100003; at += 7)
        AddToFingerprint(&fingerprinter, data + at, std::min<size_t>(7, 100003 - at));
    EXPECT_EQ(FinishFingerprint(&fingerprinter), 0x7c585628b5ba60b4ull);
    AddToFingerprint(&fingerprinter, data, 100003);
    EXPECT_EQ(FinishFingerprint(&fingerprinter), 0x7c585628b5ba60b4ull);

    // 4 MiB; 100 KiB rewritten at 1 MiB, 5,000 bytes inserted at 2 MiB, 64 KiB appended.
    const std::string old = Generated(4 << 20);
    std::string next = old;
    next.replace(1 << 20, 100 << 10, Generated(100 << 10, 7));
    next.insert(2 << 20, Generated(5000, 8));
    next += Generated(64 << 10, 9);
    const ChunkIndex published = IndexOf(next), local = IndexOf(old);

    const std::vector<uint32_t> byFingerprint = SortChunksByFingerprint(published);
    std::vector<ChunkSource> sources(published.chunks.size());
    for (const ChunkRecord& chunk : local.chunks)
        NoteFoundChunk(published, byFingerprint, chunk.fingerprint, chunk.length, chunk.offset,
                       ChunkSourceKind::OldFile, &sources);
    const std::vector<SyncStep> plan = PlanChunkSync(published, sources);
    // Each change costs at most the chunks it touches: two on each side at most.
    const int64_t changed = (100 << 10) + 5000 + (64 << 10);
    EXPECT_GE(BytesToFetch(plan), changed);
    EXPECT_LE(BytesToFetch(plan), changed + 4 * kChunkMaxSize);
    const SyncStep& tail = plan[plan.size() - 2];
    EXPECT_EQ(tail.offset - tail.sourceOffset, 5000);
    EXPECT_GT(tail.length, 1 << 20);
    EXPECT_EQ(plan.back().kind, SyncStepKind::Fetch);
}

// An index of chunks whose fingerprints are their second number, and digests that byte
// repeated.
ChunkIndex HandMadeIndex(const std::vector<std::pair<uint32_t, unsigned char>>& chunks) {
    ChunkIndex index;
    for (const auto& chunk : chunks) {
        ChunkRecord record = {index.fileSize, chunk.first, {}, chunk.second};
        memset(record.sha256, chunk.second, kSha256Bytes);
        index.chunks.push_back(record);
        index.fileSize += chunk.first;
    }
    return index;
}

TEST(ChunkSync, StepsCoalesceAndAPartFileCountsOnlyWhereItsChunksStand) {
    const uint32_t k = kChunkMinSize;
    // Fingerprints a b c d a e f: "a" twice, "e" nowhere.
    const ChunkIndex index =
        HandMadeIndex({{k, 'a'}, {k, 'b'}, {k, 'c'}, {2 * k, 'd'}, {k, 'a'}, {k, 'e'}, {k, 'f'}});
    const std::vector<uint32_t> byFingerprint = SortChunksByFingerprint(index);
    std::vector<ChunkSource> sources(index.chunks.size());
    auto found = [&](unsigned char fingerprint, uint32_t length, int64_t at, ChunkSourceKind kind) {
        return NoteFoundChunk(index, byFingerprint, fingerprint, length, at, kind, &sources);
    };
    const auto inPlace = ChunkSourceKind::InPlace, old = ChunkSourceKind::OldFile;
    // The part file: "b" stands where it belongs, "c" one chunk off, so only "b" counts.
    EXPECT_EQ(found('b', k, k, inPlace), 1);
    EXPECT_EQ(found('c', k, 0, inPlace), 0);
    // The old file: "a" serves both places, "b" is already in place, "d" of another length
    // is another chunk, "c" and "d" follow each other, "f" stands elsewhere.
    EXPECT_EQ(found('a', k, 0, old), 2);
    EXPECT_EQ(found('b', k, 9 * k, old), 0);
    EXPECT_EQ(found('d', k, 3 * k, old), 0);
    EXPECT_EQ(found('c', k, 20 * k, old), 1);
    EXPECT_EQ(found('d', 2 * k, 21 * k, old), 1);
    EXPECT_EQ(found('f', k, 40 * k, old), 1);
    const std::vector<SyncStep> plan = PlanChunkSync(index, sources);
    // Steps as kind, chunks, offset<source:length in k: copies join where the old chunks do too.
    std::ostringstream steps;
    for (const SyncStep& s : plan)
        steps << "CKF"[static_cast<int>(s.kind)] << s.firstChunk << "+" << s.chunkCount << "@"
              << s.offset / k << "<" << s.sourceOffset / k << ":" << s.length / k << " ";
    EXPECT_EQ(steps.str(), "C0+1@0<0:1 K1+1@1<1:1 C2+2@2<20:3 C4+1@5<0:1 F5+1@6<6:1 C6+1@7<40:1 ");
    EXPECT_EQ(BytesToFetch(plan), k);
    // Missing neighbours make one range, up to the chunks a scan may still find.
    std::vector<ChunkSource> none(index.chunks.size());
    EXPECT_EQ(PlanChunkSync(index, none).size(), 1u);
    EXPECT_EQ(NextSyncStep(index, none, 1, 4).chunkCount, 3u);
    EXPECT_EQ(NextSyncStep(index, sources, 2, 2).chunkCount, 2u);
}

TEST(ChunkIndexFormat, WrittenAndReadBackAndRefusedInEveryOtherForm) {
    const std::string bytes =
        WriteChunkIndex(HandMadeIndex({{kChunkMaxSize, 1}, {kChunkMinSize, 2}, {1, 3}}));
    auto read = [](const std::string& text, ChunkIndex* out) {
        return ReadChunkIndex(reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                              out);
    };
    ChunkIndex back;
    ASSERT_TRUE(read(bytes, &back));
    EXPECT_EQ(back.chunks[2].offset, kChunkMaxSize + kChunkMinSize);

    // A first chunk too long, a middle one that no longer adds up to the file, an empty last one
    // (the header's fields and cut or longer texts are the fuzz target's: one canonical writing).
    const std::vector<std::pair<size_t, char>> changes = {{68, 1}, {112, 1}, {156, 0}};
    for (const auto& change : changes) {
        std::string bad = bytes;
        bad[change.first] = change.second;
        EXPECT_FALSE(read(bad, &back)) << change.first;
    }

    ChunkIndexLine line;
    const std::string digest(64, 'e');
    const std::string good = "#@chunks " + digest + " #chunks/a b.idx";
    ASSERT_TRUE(ParseChunkIndexLine(good.c_str(), &line));  // its parts: the fuzz target's check
    for (const std::string& bad :
         {"#@chunks " + digest + " ", "#@chunks " + digest + "x",
          "#@chunks " + digest.substr(1) + " p", "#@chunks  " + digest + " p",
          "#@chunks " + std::string(64, 'E') + " p", "#@chunk " + digest + " p"})
        EXPECT_FALSE(ParseChunkIndexLine(bad.c_str(), &line)) << bad;
}

}  // namespace
