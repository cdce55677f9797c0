// Geometry of the vector glyphs that is worth computing apart from GDI: the gear's spokes.
#include "render/glyph_geometry.h"

#include <math.h>

void ComputeGearSpokes(int r, GearSpoke spokes[kGearSpokes]) {
    double inner = r - 2;
    double outer = r + 3;
    for (int k = 0; k < kGearSpokes; ++k) {
        double xFactor = 1.0;
        double yFactor = 0.0;
        if (k > 0) {
            // The short constant is part of the look: it makes the spokes that point down,
            // left and up truncate one pixel short at both ends.
            double angle = k * 3.14159 * 0.25;
            xFactor = cos(angle);
            yFactor = sin(angle);
        }
        spokes[k].innerX = static_cast<int>(inner * xFactor);
        spokes[k].innerY = static_cast<int>(inner * yFactor);
        spokes[k].outerX = static_cast<int>(outer * xFactor);
        spokes[k].outerY = static_cast<int>(outer * yFactor);
    }
}
