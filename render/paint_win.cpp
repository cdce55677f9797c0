// Window painting (placeholder until the rendering lands: validates what it is asked to paint).
#include "render/paint.h"

void PaintMainWindow(HWND window) {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
}

BOOL DrawButtonItem(const DRAWITEMSTRUCT*) {
    return TRUE;
}
