// Colours as GDI packs a COLORREF, for code that must not include <windows.h>.
#pragma once

#include <stdint.h>

// Red in the low byte, then green, then blue: the same bits as RGB(r, g, b).
typedef uint32_t PackedColor;

constexpr PackedColor PackRgb(int red, int green, int blue) {
    return static_cast<PackedColor>(red) | (static_cast<PackedColor>(green) << 8) |
           (static_cast<PackedColor>(blue) << 16);
}
