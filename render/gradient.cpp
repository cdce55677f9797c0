// Row colours of a vertical gradient, the integer arithmetic behind FillVerticalGradient.
#include "render/gradient.h"

namespace {

int Channel(PackedColor color, int shift) {
    return static_cast<int>((color >> shift) & 0xFF);
}

}  // namespace

int GradientChannel(int k, int h, int top, int bottom) {
    // C++ division truncates toward zero, so a falling channel stays on the top side too.
    return top + static_cast<int>(static_cast<long long>(k) * (bottom - top) / h);
}

PackedColor GradientRowColor(int k, int h, PackedColor top, PackedColor bottom) {
    PackedColor row = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        int value = GradientChannel(k, h, Channel(top, shift), Channel(bottom, shift));
        row |= static_cast<PackedColor>(value & 0xFF) << shift;
    }
    return row;
}
