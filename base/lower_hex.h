// Digests written as text: lowercase hexadecimal digits, high nibble first.
#pragma once

#include <stddef.h>

// Writes 2 * size digits and a zero into out.
void WriteLowerHex(const unsigned char* bytes, size_t size, char* out);
