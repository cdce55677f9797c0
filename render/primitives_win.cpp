// The drawing primitives every gradient, rounded panel and text box on screen is made of.
#include "render/primitives_win.h"

#include "render/gdi_objects_win.h"
#include "render/gradient.h"

void FillVerticalGradient(HDC dc, int left, int top, int right, int bottom, COLORREF topColor,
                          COLORREF bottomColor) {
    int height = bottom - top;
    for (int k = 0; k < height; ++k) {
        int y = top + k;
        GdiObject pen(MakeSolidPen(1, GradientRowColor(k, height, topColor, bottomColor)));
        SelectedObject selected(dc, pen.handle);
        MoveToEx(dc, left, y, nullptr);
        LineTo(dc, right, y);
    }
}

void DrawOuterGlow(HDC dc, int left, int top, int right, int bottom, int corner) {
    for (int n = 3; n >= 1; --n) {
        int shade = 4 * n + 6;
        GdiObject pen(MakeSolidPen(1, RGB(shade, shade, 4 * n + 9)));
        SelectedObject selectedPen(dc, pen.handle);
        SelectedObject hollow(dc, GetStockObject(NULL_BRUSH));
        RoundRect(dc, left - n, top + n + 1, right + n, bottom + n + 2, corner, corner);
    }
}

void FillRoundedPanel(HDC dc, int left, int top, int right, int bottom, int corner,
                      COLORREF topColor, COLORREF bottomColor, COLORREF borderColor) {
    {
        // A region leaves out its right and bottom edges, where the border still runs.
        ClipRegion clip(dc, MakeRoundRegion(left, top, right + 1, bottom + 1, corner));
        FillVerticalGradient(dc, left, top, right, bottom, topColor, bottomColor);
    }
    GdiObject pen(MakeSolidPen(1, borderColor));
    SelectedObject selectedPen(dc, pen.handle);
    SelectedObject hollow(dc, GetStockObject(NULL_BRUSH));
    RoundRect(dc, left, top, right, bottom, corner, corner);
}

void DrawBox(HDC dc, const char* text, int left, int top, int right, int bottom, UINT flags) {
    RECT box = {left, top, right, bottom};
    DrawTextA(dc, text, -1, &box, flags);
}
