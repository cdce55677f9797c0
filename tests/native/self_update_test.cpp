// The build number the share announces, read as atoi reads it and clamped to 32 bits.
#include <gtest/gtest.h>

#include <limits.h>

#include <string>

#include "patch/self_update.h"

TEST(ParseBuildNumber, ReadsAsAtoiWithClamping) {
    const struct {
        std::string text;
        int build;
    } rows[] = {
        {"4\r\n", 4},
        {"  12abc", 12},
        {"\t\r\n 7 8", 7},
        {"007", 7},
        {"+9", 9},
        {"abc", 0},
        {"", 0},
        {"+-5", 0},
        {"<html>6", 0},
        {" -12x", -12},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {std::string(5000, '9'), INT_MAX},
        {"-2147483648", INT_MIN},
        {"-123456789012345678901234567890", INT_MIN},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ParseBuildNumber(row.text.c_str()), row.build) << row.text.substr(0, 20);
}
