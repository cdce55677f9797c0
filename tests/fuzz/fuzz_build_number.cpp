// Fuzzes the build-number reader against a reference that computes in arbitrary precision.
#include <ctype.h>
#include <limits.h>
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "patch/self_update.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.c_str();
    size_t i = 0;
    while (i < text.size() && isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    bool clamped = false;
    while (i < text.size() && isdigit(static_cast<unsigned char>(text[i]))) {
        value = value * 10 + (text[i++] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            clamped = true;
        if (clamped)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    long long expected = negative ? -value : value;
    if (expected > INT_MAX)
        expected = INT_MAX;
    if (expected < INT_MIN)
        expected = INT_MIN;
    if (ParseBuildNumber(text.c_str()) != expected)
        __builtin_trap();
    return 0;
}
