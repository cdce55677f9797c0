// The faces of the nine owner-drawn buttons: caption, side and play.
#pragma once

#include <windows.h>

// Draws the face of the button named by item->CtlID (WM_DRAWITEM); an identifier outside the
// nine draws nothing. Always returns TRUE.
BOOL DrawButtonItem(const DRAWITEMSTRUCT* item);
