// The drawing primitives every gradient, rounded panel and text box on screen is made of.
#pragma once

#include <windows.h>

// Fills left..right-1 x top..bottom-1 with one-pixel lines from topColor to one step short
// of bottomColor. Does no clipping of its own.
void FillVerticalGradient(HDC dc, int left, int top, int right, int bottom, COLORREF topColor,
                          COLORREF bottomColor);

// Three dark rounded outlines fanning out below and beside a panel, like a cast shadow;
// draw the panel over the same rectangle right afterwards.
void DrawOuterGlow(HDC dc, int left, int top, int right, int bottom, int corner);

// A rounded panel: the gradient clipped to the rounded shape, then a one-pixel border.
// Leaves the context with no clip region.
void FillRoundedPanel(HDC dc, int left, int top, int right, int bottom, int corner,
                      COLORREF topColor, COLORREF bottomColor, COLORREF borderColor);

// One DrawTextA call into the box left..right x top..bottom.
void DrawBox(HDC dc, const char* text, int left, int top, int right, int bottom, UINT flags);
