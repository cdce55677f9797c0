// The build number read from patcher_version.txt, and the update script's exact bytes.
#include <gtest/gtest.h>

#include <limits.h>

#include <string>
#include <vector>

#include "patch/build_number.h"
#include "patch/update_script.h"

TEST(ParseBuildNumber, ReadsLeadingNumberWithOrWithoutLineEnd) {
    EXPECT_EQ(ParseBuildNumber("4"), 4);
    EXPECT_EQ(ParseBuildNumber("4\r\n"), 4);
    EXPECT_EQ(ParseBuildNumber("4\n"), 4);
    EXPECT_EQ(ParseBuildNumber("5"), 5);
    EXPECT_EQ(ParseBuildNumber("  12abc"), 12);
    EXPECT_EQ(ParseBuildNumber("\t\r\n 7 8"), 7);
    EXPECT_EQ(ParseBuildNumber("+9"), 9);
    EXPECT_EQ(ParseBuildNumber("007"), 7);
}

TEST(ParseBuildNumber, NoDigitsGiveZero) {
    EXPECT_EQ(ParseBuildNumber("abc"), 0);
    EXPECT_EQ(ParseBuildNumber(""), 0);
    EXPECT_EQ(ParseBuildNumber("   "), 0);
    EXPECT_EQ(ParseBuildNumber("-"), 0);
    EXPECT_EQ(ParseBuildNumber("+-5"), 0);
    EXPECT_EQ(ParseBuildNumber("x5"), 0);
    EXPECT_EQ(ParseBuildNumber("<html>6</html>"), 0);
}

TEST(ParseBuildNumber, NegativeNumbersStayNegative) {
    EXPECT_EQ(ParseBuildNumber("-5"), -5);
    EXPECT_EQ(ParseBuildNumber(" -12x"), -12);
}

TEST(ParseBuildNumber, NumbersBeyondThirtyTwoBitsClamp) {
    EXPECT_EQ(ParseBuildNumber("123456789012345678901234567890"), INT_MAX);
    EXPECT_EQ(ParseBuildNumber("-123456789012345678901234567890"), INT_MIN);
    EXPECT_EQ(ParseBuildNumber("2147483647"), INT_MAX);
    EXPECT_EQ(ParseBuildNumber("2147483648"), INT_MAX);
    EXPECT_EQ(ParseBuildNumber("2147483646"), 2147483646);
    EXPECT_EQ(ParseBuildNumber("-2147483648"), INT_MIN);
    EXPECT_EQ(ParseBuildNumber("-2147483649"), INT_MIN);
    EXPECT_EQ(ParseBuildNumber("-2147483647"), -2147483647);
    EXPECT_EQ(ParseBuildNumber(std::string(5000, '9').c_str()), INT_MAX);
}

TEST(UpdateScript, IsTheTwelveLinesByteForByte) {
    const std::string script(kUpdateScript, kUpdateScriptSize);
    ASSERT_EQ(script.size(), 320u);
    EXPECT_EQ(kUpdateScript[kUpdateScriptSize], '\0');
    EXPECT_EQ(script.find('\0'), std::string::npos);

    const std::vector<std::string> expected = {
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
        "del \"%~f0\"",
    };
    const std::vector<size_t> lengths = {11, 22, 15, 7, 92, 23, 28, 13, 3, 62, 32, 12};

    // Split after every LF, so each piece keeps its own line end.
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < script.size()) {
        size_t end = script.find('\n', start);
        ASSERT_NE(end, std::string::npos) << "the last line must end in CR LF too";
        lines.push_back(script.substr(start, end + 1 - start));
        start = end + 1;
    }
    ASSERT_EQ(lines.size(), 12u);
    for (size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE("line " + std::to_string(i + 1));
        EXPECT_EQ(lines[i].size(), lengths[i]);
        EXPECT_EQ(lines[i], expected[i] + "\r\n");
        // No bare CR or LF anywhere inside a line.
        EXPECT_EQ(lines[i].find_first_of("\r\n"), lines[i].size() - 2);
    }
}
