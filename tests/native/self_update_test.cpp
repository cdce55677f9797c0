// The update script, byte for byte: the system's tools by full path, this launcher's own
// process waited for.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "patch/self_update.h"
#include "tests/pe_image.h"

namespace {

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
    // The longest system folder fits; a "%" or a byte above 127 in it, or too little room, give
    // no script.
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
    EXPECT_TRUE(complete(pe));
    // A section of no raw data may name any offset.
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
