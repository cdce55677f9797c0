// Reading the newest launcher build number that the share announces.
#include "patch/build_number.h"

#include <limits.h>

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
    // Accumulated in a wider type and stopped at the limit, so a long run of digits only
    // keeps the clamped value.
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p - '0');
        if (value >= limit) {
            value = limit;
            break;
        }
        ++p;
    }
    return static_cast<int>(negative ? -value : value);
}
