// The eight vector icons of the caption and side buttons, drawn around a centre point.
#include "render/glyphs_win.h"

#include "render/gdi_objects_win.h"
#include "render/glyph_geometry.h"

namespace {

constexpr int kGlyphPenWidth = 2;
constexpr COLORREF kDiscordEyeColor = RGB(20, 26, 44);

void Line(HDC dc, int x1, int y1, int x2, int y2) {
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
}

}  // namespace

void GlyphClose(HDC dc, int cx, int cy, int r, COLORREF color) {
    GdiObject pen(MakeSolidPen(kGlyphPenWidth, color));
    SelectedObject selectedPen(dc, pen.handle);
    Line(dc, cx - r + 2, cy - r + 2, cx + r - 2, cy + r - 2);
    Line(dc, cx + r - 2, cy - r + 2, cx - r + 2, cy + r - 2);
}

void GlyphMinimize(HDC dc, int cx, int cy, int r, COLORREF color) {
    GdiObject pen(MakeSolidPen(kGlyphPenWidth, color));
    SelectedObject selectedPen(dc, pen.handle);
    Line(dc, cx - r + 2, cy + r - 3, cx + r - 2, cy + r - 3);
}

void GlyphGear(HDC dc, int cx, int cy, int r, COLORREF color) {
    GdiObject pen(MakeSolidPen(kGlyphPenWidth, color));
    SelectedObject selectedPen(dc, pen.handle);
    SelectedObject hollow(dc, GetStockObject(NULL_BRUSH));
    Ellipse(dc, cx - r + 2, cy - r + 2, cx + r - 2, cy + r - 2);
    GearSpoke spokes[kGearSpokes];
    ComputeGearSpokes(r, spokes);
    for (const GearSpoke& spoke : spokes)
        Line(dc, cx + spoke.innerX, cy + spoke.innerY, cx + spoke.outerX, cy + spoke.outerY);
    Ellipse(dc, cx - 3, cy - 3, cx + 3, cy + 3);
}

void GlyphAddUser(HDC dc, int cx, int cy, int r, COLORREF color) {
    int h = r / 2;
    int t = r / 3;
    int q = r / 4;
    GdiObject pen(MakeSolidPen(kGlyphPenWidth, color));
    SelectedObject selectedPen(dc, pen.handle);
    {
        SelectedObject hollow(dc, GetStockObject(NULL_BRUSH));
        Ellipse(dc, cx - h, cy - r, cx + h - 2, cy - t + 2);
        // Counterclockwise from the left end: down through the lowest point, a cup shape.
        Arc(dc, cx - r, cy - q, cx + r - 3, cy + r + h, cx - r, cy + h, cx + r - 3, cy + h);
    }
    Line(dc, cx + r - 4, cy - r + 2, cx + r - 4, cy - t + 2);
    Line(dc, cx + r - 8, cy - h + 2, cx + r, cy - h + 2);
}

void GlyphDiscord(HDC dc, int cx, int cy, int r, COLORREF color) {
    int h = r / 2;
    {
        GdiObject brush(MakeSolidBrush(color));
        GdiObject pen(MakeSolidPen(1, color));
        SelectedObject selectedBrush(dc, brush.handle);
        SelectedObject selectedPen(dc, pen.handle);
        RoundRect(dc, cx - r, cy - r + 2, cx + r, cy + r - 1, 10, 10);
    }
    GdiObject eyeBrush(MakeSolidBrush(kDiscordEyeColor));
    SelectedObject selectedBrush(dc, eyeBrush.handle);
    SelectedObject noOutline(dc, GetStockObject(NULL_PEN));
    Ellipse(dc, cx - h - 1, cy - 2, cx - h + 3, cy + 4);
    Ellipse(dc, cx + h - 3, cy - 2, cx + h + 1, cy + 4);
}

void GlyphGlobe(HDC dc, int cx, int cy, int r, COLORREF color) {
    int h = r / 2;
    GdiObject pen(MakeSolidPen(kGlyphPenWidth, color));
    SelectedObject selectedPen(dc, pen.handle);
    SelectedObject hollow(dc, GetStockObject(NULL_BRUSH));
    Ellipse(dc, cx - r, cy - r, cx + r, cy + r);
    Ellipse(dc, cx - h, cy - r, cx + h, cy + r);
    Line(dc, cx - r, cy, cx + r, cy);
    Line(dc, cx - r + 2, cy - h, cx + r - 2, cy - h);
    Line(dc, cx - r + 2, cy + h, cx + r - 2, cy + h);
}

void GlyphLetterF(HDC dc, int cx, int cy, int r, COLORREF color) {
    GdiObject font(MakeFont(-(2 * r + 6), FW_BOLD, kLogoFace));
    SelectedObject selectedFont(dc, font.handle);
    SetTextColor(dc, color);
    SetBkMode(dc, TRANSPARENT);
    RECT box = {cx - r - 2, cy - r - 2, cx + r + 2, cy + r + 2};
    DrawTextA(dc, "f", -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void GlyphCamera(HDC dc, int cx, int cy, int r, COLORREF color) {
    int h = r / 2;
    GdiObject pen(MakeSolidPen(kGlyphPenWidth, color));
    SelectedObject selectedPen(dc, pen.handle);
    {
        SelectedObject hollow(dc, GetStockObject(NULL_BRUSH));
        RoundRect(dc, cx - r, cy - r, cx + r, cy + r, 7, 7);
        Ellipse(dc, cx - h, cy - h, cx + h, cy + h);
    }
    GdiObject flashBrush(MakeSolidBrush(color));
    SelectedObject selectedBrush(dc, flashBrush.handle);
    Ellipse(dc, cx + r - 6, cy - r + 2, cx + r - 2, cy - r + 6);
}
