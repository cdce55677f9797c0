// Geometry of the vector glyphs that is worth computing apart from GDI: the gear's spokes.
#pragma once

constexpr int kGearSpokes = 8;

// End points of one spoke, as offsets from the glyph's centre.
struct GearSpoke {
    int innerX;
    int innerY;
    int outerX;
    int outerY;
};

// The eight spokes of a gear of size r, spoke 0 pointing right and the angle growing
// clockwise on screen (y grows downward).
void ComputeGearSpokes(int r, GearSpoke spokes[kGearSpokes]);
