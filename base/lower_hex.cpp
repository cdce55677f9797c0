// Digests written as text: lowercase hexadecimal digits, high nibble first.
#include "base/lower_hex.h"

void WriteLowerHex(const unsigned char* bytes, size_t size, char* out) {
    static const char kHex[] = "0123456789abcdef";
    for (size_t i = 0; i < size; ++i) {
        out[2 * i] = kHex[bytes[i] >> 4];
        out[2 * i + 1] = kHex[bytes[i] & 0xF];
    }
    out[2 * size] = '\0';
}
