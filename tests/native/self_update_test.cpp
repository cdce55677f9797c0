// The update script, byte for byte: the system's tools by full path, this launcher's own
// process waited for.
#include <gtest/gtest.h>

#include <string>

#include "patch/self_update.h"

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

}  // namespace
