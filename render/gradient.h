// Row colours of a vertical gradient, the integer arithmetic behind FillVerticalGradient.
#pragma once

#include "base/colour.h"

// One channel of row k of h rows: top + k * (bottom - top) / h, truncated toward zero.
int GradientChannel(int k, int h, int top, int bottom);

// The colour of row k (0 .. h - 1) of a gradient h rows high; h must be positive.
PackedColor GradientRowColor(int k, int h, PackedColor top, PackedColor bottom);
