// Creation and deletion of the GDI objects a paint uses (counted in the test build).
#include "render/gdi_objects_win.h"

namespace {

#ifdef SKH_TESTING
// Painting runs on the UI thread only.
GdiTally gTally = {0, 0};
#endif

template <typename Handle>
Handle Created(Handle handle) {
#ifdef SKH_TESTING
    if (handle != nullptr)
        ++gTally.created;
#endif
    return handle;
}

void Deleted(BOOL ok) {
#ifdef SKH_TESTING
    if (ok)
        ++gTally.deleted;
#else
    (void)ok;
#endif
}

}  // namespace

HFONT MakeFont(int height, int weight, const char* face) {
    return Created(CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                               DEFAULT_PITCH | FF_DONTCARE, face));
}

HPEN MakeSolidPen(int width, COLORREF color) {
    return Created(CreatePen(PS_SOLID, width, color));
}

HBRUSH MakeSolidBrush(COLORREF color) {
    return Created(CreateSolidBrush(color));
}

HRGN MakeRectRegion(int left, int top, int right, int bottom) {
    return Created(CreateRectRgn(left, top, right, bottom));
}

HRGN MakeRoundRegion(int left, int top, int right, int bottom, int corner) {
    return Created(CreateRoundRectRgn(left, top, right, bottom, corner, corner));
}

HDC MakeMemoryContext(HDC compatibleWith) {
    return Created(CreateCompatibleDC(compatibleWith));
}

HBITMAP MakeCompatibleBitmap(HDC compatibleWith, int width, int height) {
    return Created(CreateCompatibleBitmap(compatibleWith, width, height));
}

void DeleteGdiObject(HGDIOBJ object) {
    Deleted(DeleteObject(object));
}

void DeleteMemoryContext(HDC context) {
    Deleted(DeleteDC(context));
}

#ifdef SKH_TESTING
GdiTally ReadGdiTally() {
    return gTally;
}
#endif
