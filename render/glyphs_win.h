// The eight vector icons of the caption and side buttons, drawn around a centre point.
#pragma once

#include <windows.h>

// Every glyph: context, centre x and y, size r (about half its width), colour.
typedef void (*GlyphProc)(HDC dc, int cx, int cy, int r, COLORREF color);

void GlyphClose(HDC dc, int cx, int cy, int r, COLORREF color);
void GlyphMinimize(HDC dc, int cx, int cy, int r, COLORREF color);
void GlyphGear(HDC dc, int cx, int cy, int r, COLORREF color);
void GlyphAddUser(HDC dc, int cx, int cy, int r, COLORREF color);
// The eyes are always the dark panel colour, whatever colour the face asks for.
void GlyphDiscord(HDC dc, int cx, int cy, int r, COLORREF color);
void GlyphGlobe(HDC dc, int cx, int cy, int r, COLORREF color);
// Leaves the context's text colour at color and its background mode transparent.
void GlyphLetterF(HDC dc, int cx, int cy, int r, COLORREF color);
void GlyphCamera(HDC dc, int cx, int cy, int r, COLORREF color);
