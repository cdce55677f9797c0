// What the launcher takes from a release: signed manifests and offers in their one form, sequence
// records, only a whole executable, and the update script byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "patch/self_update.h"
#include "patch/signed_release.h"
#include "tests/pe_image.h"

namespace {

const std::string kSig = "#@signature " + std::string(768, '5');
const std::string kEntry = "a.dat|3|a9993e364706816aba3e25717850c26c9cd0d89d\n";

TEST(SignedRelease, ManifestsAndLauncherOffersAcceptedOnlyInTheirOneForm) {
    // The longest sequence; a comment, a chunk index line and a blank line in the signed part.
    const std::string chunks = "#@chunks " + std::string(64, 'a') + " #chunks/a.dat.idx\n";
    const std::string good = "#@sequence 999999999999999999\n#@version 2026.2\n# note\n" + kEntry +
                             chunks + kEntry + "\n" + kSig + "\n";
    SignedManifest m;
    ASSERT_TRUE(ReadSignedManifest(good.data(), good.size(), &m));
    EXPECT_EQ(m.sequence, 999999999999999999LL);
    EXPECT_EQ(std::string(m.version, m.versionLength), "2026.2");

    // Each tag line wrong, twice or missing; a zero byte; a blank line or an entry after the end.
    const std::string head = "#@sequence 17\n#@version 2026.2\n", tail = kEntry + kSig;
    for (const std::string& text :
         {"#@sequence +17\n#@version 2026.2\n" + tail, "#@sequence 17 \n#@version 2026.2\n" + tail,
          "#@sequence 1000000000000000000\n#@version 2026.2\n" + tail,
          head + "#@sequence 18\n" + tail, "#@version 2026.2\n" + tail, "#@sequence 17\n" + tail,
          "#@sequence 17\n#@version \n" + tail, "#@sequence 17\n#@version 2026.2\r\n" + tail,
          "#@sequence 17\n" + kEntry + "#@version 2026.2\n" + kSig, head + kSig + "\n" + tail,
          head + "#@version 2\n" + tail, head + std::string("a\0b|1|x\n", 8) + kSig,
          head + tail + "\n\n", head + tail + "\n" + kEntry, std::string()})
        EXPECT_FALSE(ReadSignedManifest(text.data(), text.size(), &m)) << text;

    const std::string h(64, 'c'), body = "#@size 1048576\n#@sha256 " + h + "\n" + kSig;
    LauncherOffer offer;
    for (const std::string& text : {"6\n" + body + "\n", "0006\n" + body}) {
        ASSERT_TRUE(ReadLauncherOffer(text.data(), text.size(), &offer)) << text;
        EXPECT_EQ(offer.size, 1048576);
        EXPECT_EQ(std::string(offer.sha256), h);
    }
    // The build, size and digest each out of form; the old form; lines swapped, extra or after.
    const std::string digest = "#@sha256 " + h + "\n";
    for (const std::string& text :
         {"2147483648\n" + body, "0\n" + body, "+6\n" + body, "6 \n" + body, "6\r\n" + body,
          "6\n" + kSig, "6\n#@size 0\n" + digest + kSig,
          "6\n#@size 1099511627777\n" + digest + kSig,
          "6\n#@size 1\n#@sha256 " + h.substr(1) + "\n" + kSig,
          "6\n#@size 1\n#@sha256 C" + h.substr(1) + "\n" + kSig,
          "6\n" + digest + "#@size 1\n" + kSig, "6\n# x\n" + body, "6\n" + body + "\n" + kEntry})
        EXPECT_FALSE(ReadLauncherOffer(text.data(), text.size(), &offer)) << text;
}

TEST(SignedRelease, SequenceRecordsBelongToTheKeyThatTookTheRelease) {
    const std::string mine(64, 'a'), other = std::string(63, 'a') + "b";
    char out[kSequenceRecordLimit + 1];
    const std::string record(out, WriteSequenceRecord(mine.c_str(), 999999999999999999LL, out));
    EXPECT_EQ(record, mine + " 999999999999999999");
    auto read = [](const std::string& text, const std::string& key) {
        long long sequence = 0;
        return ReadSequenceRecord(text.data(), text.size(), key.c_str(), &sequence);
    };
    EXPECT_EQ(read(record, mine), SequenceRecord::Taken);
    EXPECT_EQ(read(record, other), SequenceRecord::None);
    EXPECT_EQ(read("", mine), SequenceRecord::None);
    // An older launcher's bare number names no key: the folder starts afresh, not locked out.
    EXPECT_EQ(read("2", mine), SequenceRecord::None);
    // Numbers and fingerprints out of their one form.
    for (const std::string& text :
         {std::string("2 "), mine + " ", mine + " 1000000000000000000", mine + " 02", mine + "  2",
          std::string(64, 'A') + " 2", mine + " 2\n", mine + std::string(" 2\0", 3),
          mine.substr(1) + " 2"})
        EXPECT_EQ(read(text, mine), SequenceRecord::Unreadable) << text;
}

TEST(UpdateScript, RunsSystemToolsByFullPathAndWaitsForItsOwnProcess) {
    char out[kUpdateScriptSize];
    const size_t length =
        WriteUpdateScript("C:\\Windows\\system32", 4294967295UL, out, sizeof(out));
    EXPECT_EQ(
        std::string(out, length),
        "@echo off\r\n"
        "\"C:\\Windows\\system32\\chcp.com\" 65001 >nul 2>&1\r\n"
        "cd /d \"%~dp0\"\r\n"
        ":wait\r\n"
        "\"C:\\Windows\\system32\\tasklist.exe\" /fi \"pid eq 4294967295\" /fi \"imagename eq "
        "SKH2026_Patcher.exe\" 2>nul | \"C:\\Windows\\system32\\find.exe\" /i "
        "\"SKH2026_Patcher.exe\" >nul\r\n"
        "if not errorlevel 1 (\r\n"
        "  \"C:\\Windows\\system32\\ping.exe\" -n 2 127.0.0.1 >nul\r\n"
        "  goto wait\r\n"
        ")\r\n"
        "move /y \"SKH2026_Patcher.new.exe\" \"SKH2026_Patcher.exe\" >nul\r\n"
        "start \"\" \"SKH2026_Patcher.exe\"\r\n"
        "del \"%~f0\"\r\n");
    // The longest system folder fits; a "%", a byte above 127 or too little room: no script.
    EXPECT_GT(WriteUpdateScript(std::string(259, 'w').c_str(), 1, out, sizeof(out)), 0u);
    EXPECT_EQ(WriteUpdateScript("C:\\Win%x%", 1, out, sizeof(out)), 0u);
    EXPECT_EQ(WriteUpdateScript("C:\\Windows\xE9", 1, out, sizeof(out)), 0u);
    EXPECT_EQ(WriteUpdateScript("C:\\Windows\\system32", 4294967295UL, out, length), 0u);
}

TEST(UpdateScript, OnlyAWholeExecutableMayReplaceTheLauncher) {
    auto complete = [](const std::string& bytes) {
        return IsCompletePe(reinterpret_cast<const unsigned char*>(bytes.data()),
                            std::min(bytes.size(), kPeHeadReadSize),
                            static_cast<long long>(bytes.size()));
    };
    const std::string pe = WholeExecutable(4096);
    auto with = [&pe](size_t at, const std::string& bytes) {
        return std::string(pe).replace(at, bytes.size(), bytes);
    };
    // A section of no raw data may name any offset (a whole one is the publishing tool's test).
    EXPECT_TRUE(complete(with(0x58 + 16, std::string("\0\0\0\0\xff\xff\xff\xff", 8))));
    // Cut by one byte, an error page, no "MZ", the PE offset past the headers or far beyond
    // (no sum wraps), another signature, no section, a section table past what was read, a
    // section's end past the file's, a section whose offset and size wrap 32 bits.
    for (const std::string& bytes :
         {pe.substr(0, 4095), std::string("<html>404</html>"), with(0, "ZM"),
          with(0x3c, std::string("\xf0\x0f\0\0", 4)), with(0x3c, "\xff\xff\xff\xff"),
          with(0x40, std::string("PE\0!", 4)), with(0x46, std::string("\0\0", 2)),
          with(0x54, "\xff\xff"), with(0x58 + 16, std::string("\x01\x0e\0\0", 4)),
          with(0x58 + 16, std::string("\x00\x0e\0\0\x00\xf4\xff\xff", 8))})
        EXPECT_FALSE(complete(bytes)) << bytes.size();
}

}  // namespace
