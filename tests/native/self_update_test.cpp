// The build number read from patcher_version.txt, and the update script's exact bytes.
#include <gtest/gtest.h>

#include <limits.h>

#include <string>
#include <utility>
#include <vector>

#include "patch/self_update.h"
#include "patch/self_update.h"

TEST(ParseBuildNumber, ReadsAsAtoiWithClamping) {
    // Each expected value with every text that must give it.
    const std::pair<int, std::vector<std::string>> kRows[] = {
        {4, {"4", "4\r\n", "4\n"}},
        {5, {"5"}},
        {12, {"  12abc"}},
        {7, {"\t\r\n 7 8", "007"}},
        {9, {"+9"}},
        {0, {"abc", "", "   ", "-", "+-5", "x5", "<html>6</html>"}},
        {-5, {"-5"}},
        {-12, {" -12x"}},
        {2147483646, {"2147483646"}},
        {-2147483647, {"-2147483647"}},
        {INT_MAX,
         {"2147483647", "2147483648", "123456789012345678901234567890", std::string(5000, '9')}},
        {INT_MIN, {"-2147483648", "-2147483649", "-123456789012345678901234567890"}},
    };
    for (const auto& row : kRows) {
        for (const std::string& text : row.second)
            EXPECT_EQ(ParseBuildNumber(text.c_str()), row.first) << "text \"" << text << "\"";
    }
}

TEST(UpdateScript, IsTheTwelveLinesByteForByte) {
    const char* const kLines[] = {
        "@echo off",
        "chcp 65001 >nul 2>&1",
        "cd /d \"%~dp0\"",
        ":wait",
        "tasklist /fi \"imagename eq SKH2026_Patcher.exe\" 2>nul | find /i "
        "\"SKH2026_Patcher.exe\" >nul",
        "if not errorlevel 1 (",
        "  ping -n 2 127.0.0.1 >nul",
        "  goto wait",
        ")",
        "move /y \"SKH2026_Patcher.new.exe\" \"SKH2026_Patcher.exe\" >nul",
        "start \"\" \"SKH2026_Patcher.exe\"",
        "del \"%~f0\""};
    std::string expected;
    for (const char* line : kLines)
        expected += std::string(line) + "\r\n";
    // The size counts no terminating zero, so none reaches the file.
    ASSERT_EQ(kUpdateScriptSize, 320u);
    EXPECT_EQ(std::string(kUpdateScript, kUpdateScriptSize), expected);
}
