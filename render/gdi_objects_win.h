// Creation and deletion of the GDI objects a paint uses, and guards that undo them.
#pragma once

#include <windows.h>

// Every font of the launcher differs from the others only in height, weight and face.
HFONT MakeFont(int height, int weight, const char* face);
constexpr char kTextFace[] = "Segoe UI";
// The logo word and the "f" glyph.
constexpr char kLogoFace[] = "Georgia";
HPEN MakeSolidPen(int width, COLORREF color);
HBRUSH MakeSolidBrush(COLORREF color);
HRGN MakeRectRegion(int left, int top, int right, int bottom);
HRGN MakeRoundRegion(int left, int top, int right, int bottom, int corner);
HDC MakeMemoryContext(HDC compatibleWith);
HBITMAP MakeCompatibleBitmap(HDC compatibleWith, int width, int height);
void DeleteGdiObject(HGDIOBJ object);
void DeleteMemoryContext(HDC context);

// Owns a pen, brush, font, region or bitmap made above; deletes it when the scope ends.
// Declare it before the SelectedObject that selects it, so it is deselected first.
struct GdiObject {
    HGDIOBJ handle;
    explicit GdiObject(HGDIOBJ object) : handle(object) {}
    ~GdiObject() {
        if (handle != nullptr)
            DeleteGdiObject(handle);
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
};

// Selects an object into a context and selects the previous one back when the scope ends.
// A null object (a failed creation) selects nothing, so drawing goes on with what is held.
struct SelectedObject {
    HDC context;
    HGDIOBJ previous;
    SelectedObject(HDC dc, HGDIOBJ object)
        : context(dc), previous(object != nullptr ? SelectObject(dc, object) : nullptr) {}
    ~SelectedObject() {
        if (previous != nullptr)
            SelectObject(context, previous);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
};

// An off-screen context; declare it before the bitmap selected into it.
struct MemoryContext {
    HDC context;
    explicit MemoryContext(HDC compatibleWith) : context(MakeMemoryContext(compatibleWith)) {}
    ~MemoryContext() {
        if (context != nullptr)
            DeleteMemoryContext(context);
    }
    MemoryContext(const MemoryContext&) = delete;
    MemoryContext& operator=(const MemoryContext&) = delete;
};

// A clip region made for one drawing step: selected as the context's clip region, and on
// the way out the context is left with no clip region and the region is deleted.
struct ClipRegion {
    HDC context;
    HRGN region;
    ClipRegion(HDC dc, HRGN clip) : context(dc), region(clip) { SelectClipRgn(dc, clip); }
    ~ClipRegion() {
        SelectClipRgn(context, nullptr);
        if (region != nullptr)
            DeleteGdiObject(region);
    }
    ClipRegion(const ClipRegion&) = delete;
    ClipRegion& operator=(const ClipRegion&) = delete;
};
