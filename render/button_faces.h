// The faces of the nine owner-drawn buttons: caption, side and play.
#pragma once

#include <windows.h>

#include "render/glyphs.h"

// A 26 x 26 caption button: the glyph, on a rounded red (close) or blue-grey backing while held.
void DrawCaptionButtonFace(const DRAWITEMSTRUCT* item, GlyphProc glyph, bool closeVariant);

// A 78 x 70 side button: glyph over an upper-case label, on a rounded panel while held.
void DrawSideButtonFace(const DRAWITEMSTRUCT* item, GlyphProc glyph, const char* label);

// The 180 x 62 play button: grey "MEMERIKSA..." until the patch run ends, then golden "MAIN".
void DrawPlayButtonFace(const DRAWITEMSTRUCT* item);
