// The smallest file whose PE headers a launcher accepts: one section that runs to its last byte,
// so that any cut leaves the section beyond the end.
#pragma once

#include <stdint.h>

#include <string>

inline std::string WholeExecutable(size_t size) {
    std::string pe(size, '\x90');
    auto put = [&pe](size_t at, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            pe[at + i] = static_cast<char>(value >> (8 * i));
    };
    pe.replace(0, 2, "MZ");
    put(0x3c, 0x40, 4);
    pe.replace(0x40, 4, std::string("PE\0\0", 4));
    put(0x44, 0x14c, 2);  // i386
    put(0x46, 1, 2);      // one section
    put(0x54, 0, 2);      // no optional header
    put(0x58 + 16, static_cast<uint32_t>(size - 0x200), 4);
    put(0x58 + 20, 0x200, 4);
    return pe;
}
