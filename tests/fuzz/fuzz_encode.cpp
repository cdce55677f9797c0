// Fuzzes the path encoder: the output decodes back to the input, or the path is refused.
#include <ctype.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "patch/manifest.h"

namespace {
int HexValue(char c) {
    return c <= '9' ? c - '0' : c - 'A' + 10;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path(reinterpret_cast<const char*>(data), size);
    path = path.c_str();  // the encoder sees a zero-terminated text
    char out[2048];
    if (!EncodeUrlPath(path.c_str(), out, sizeof(out))) {
        if (path.size() < 682)
            __builtin_trap();  // 682 escaped bytes always fit
        return 0;
    }
    std::string decoded;
    for (const char* p = out; *p != '\0'; ++p) {
        if (*p == '%') {
            if (!isxdigit(static_cast<unsigned char>(p[1])) ||
                !isxdigit(static_cast<unsigned char>(p[2]))) {
                __builtin_trap();
            }
            decoded += static_cast<char>(HexValue(p[1]) * 16 + HexValue(p[2]));
            p += 2;
        } else {
            decoded += *p;
        }
    }
    if (decoded != path || strlen(out) > 2047)
        __builtin_trap();
    return 0;
}
