// Pure half of the self-update: the share's build number and the script that swaps builds.
#include "patch/self_update.h"

#include <limits.h>
#include <string.h>

#include "base/decimal.h"
#include "base/own_files.h"

namespace {

// The white space that atoi skips in the "C" locale.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

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

// Waits while a launcher process is alive (one ping pass is about a second), then moves the
// new build over the old one, starts it and deletes itself.
// clang-format off
const char kUpdateScript[] =
    "@echo off\r\n"
    "chcp 65001 >nul 2>&1\r\n"
    "cd /d \"%~dp0\"\r\n"
    ":wait\r\n"
    "tasklist /fi \"imagename eq " SKH_LAUNCHER_FILE "\" 2>nul | find /i \"" SKH_LAUNCHER_FILE "\" >nul\r\n"
    "if not errorlevel 1 (\r\n"
    "  ping -n 2 127.0.0.1 >nul\r\n"
    "  goto wait\r\n"
    ")\r\n"
    "move /y \"" SKH_NEW_LAUNCHER_FILE "\" \"" SKH_LAUNCHER_FILE "\" >nul\r\n"
    "start \"\" \"" SKH_LAUNCHER_FILE "\"\r\n"
    "del \"%~f0\"\r\n";
// clang-format on

static_assert(sizeof(kUpdateScript) == kUpdateScriptSize + 1, "the script must stay 320 bytes");
