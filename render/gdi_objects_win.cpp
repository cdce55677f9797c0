// Creation and deletion of the GDI objects a paint uses, each one noted for the tally.
#include "render/gdi_objects_win.h"

#include "render/gdi_tally.h"

namespace {

template <typename Handle>
Handle Created(Handle handle) {
    if (handle != nullptr)
        NoteGdiCreated();
    return handle;
}

void Deleted(BOOL ok) {
    if (ok)
        NoteGdiDeleted();
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
