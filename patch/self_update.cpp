// Pure half of the self-update: the share's build number and the script that swaps builds.
#include "patch/self_update.h"

#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "base/decimal.h"
#include "base/own_files.h"

namespace {

// The white space that atoi skips in the "C" locale.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

uint32_t ReadLittle(const unsigned char* at, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | at[i];
    return value;
}

}  // namespace

bool IsCompletePe(const unsigned char* head, size_t headLength, long long fileSize) {
    constexpr size_t kPeOffsetField = 0x3c;
    constexpr size_t kCoffHeaderSize = 20;
    constexpr size_t kSectionHeaderSize = 40;
    if (headLength < kPeOffsetField + 4 || fileSize < static_cast<long long>(headLength) ||
        head[0] != 'M' || head[1] != 'Z') {
        return false;
    }
    // 64-bit arithmetic throughout: no field of the file can wrap a sum around.
    const uint64_t pe = ReadLittle(head + kPeOffsetField, 4);
    if (pe + 4 + kCoffHeaderSize > headLength || memcmp(head + pe, "PE\0\0", 4) != 0)
        return false;
    const unsigned char* coff = head + pe + 4;
    const uint64_t sections = ReadLittle(coff + 2, 2);
    const uint64_t table = pe + 4 + kCoffHeaderSize + ReadLittle(coff + 16, 2);
    if (sections == 0 || table + sections * kSectionHeaderSize > headLength)
        return false;
    for (uint64_t i = 0; i < sections; ++i) {
        const unsigned char* section = head + table + i * kSectionHeaderSize;
        const uint64_t rawSize = ReadLittle(section + 16, 4);
        const uint64_t rawStart = ReadLittle(section + 20, 4);
        if (rawSize != 0 && rawStart + rawSize > static_cast<uint64_t>(fileSize))
            return false;
    }
    return true;
}

int ParseBuildNumber(const char* text) {
    const char* p = text;
    while (IsBlank(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    // Held at the limit, so a long run of digits gives the clamped value.
    const unsigned long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    unsigned long long value = 0;
    ReadDecimalDigits(p, strlen(p), limit, &value);
    return negative ? static_cast<int>(-static_cast<long long>(value)) : static_cast<int>(value);
}

// Waits while this launcher's process is alive (one ping pass is about a second), then moves
// the new build over the old one, starts it and deletes itself. The process is named by its
// id and its image name: launchers of other game folders run on, and an id that a program of
// another name took over is not waited for.
// clang-format off
size_t WriteUpdateScript(const char* toolsFolder, unsigned long processId, char* out,
                         size_t outSize) {
    for (const char* p = toolsFolder; *p != '\0'; ++p) {
        if (*p == '%' || static_cast<unsigned char>(*p) >= 0x80)
            return 0;
    }
    const int length = snprintf(out, outSize,
        "@echo off\r\n"
        "\"%s\\chcp.com\" 65001 >nul 2>&1\r\n"
        "cd /d \"%%~dp0\"\r\n"
        ":wait\r\n"
        "\"%s\\tasklist.exe\" /fi \"pid eq %lu\" /fi \"imagename eq " SKH_LAUNCHER_FILE "\" 2>nul"
            " | \"%s\\find.exe\" /i \"" SKH_LAUNCHER_FILE "\" >nul\r\n"
        "if not errorlevel 1 (\r\n"
        "  \"%s\\ping.exe\" -n 2 127.0.0.1 >nul\r\n"
        "  goto wait\r\n"
        ")\r\n"
        "move /y \"" SKH_NEW_LAUNCHER_FILE "\" \"" SKH_LAUNCHER_FILE "\" >nul\r\n"
        "start \"\" \"" SKH_LAUNCHER_FILE "\"\r\n"
        "del \"%%~f0\"\r\n",
        toolsFolder, toolsFolder, processId, toolsFolder, toolsFolder);
    return length > 0 && static_cast<size_t>(length) < outSize ? static_cast<size_t>(length) : 0;
}
// clang-format on
