// The faces of the nine owner-drawn buttons: caption, side and play.
#include "render/button_faces_win.h"

#include "base/control_ids.h"
#include "base/launcher_state_win.h"
#include "base/player_texts.h"
#include "base/window_frame.h"
#include "render/gdi_objects_win.h"
#include "render/glyphs_win.h"
#include "render/paint_win.h"
#include "render/primitives_win.h"

namespace {

constexpr UINT kCentredText = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
constexpr UINT kLabelText = DT_CENTER | DT_BOTTOM | DT_SINGLELINE;

bool IsPressed(const DRAWITEMSTRUCT* item) {
    return (item->itemState & ODS_SELECTED) != 0;
}

void DrawReadyPlayFace(HDC dc, const RECT& rc, bool pressed) {
    if (pressed) {
        FillRoundedPanel(dc, rc.left, rc.top, rc.right, rc.bottom, 16, RGB(232, 182, 86),
                         RGB(198, 150, 58), RGB(150, 110, 40));
    } else {
        FillRoundedPanel(dc, rc.left, rc.top, rc.right, rc.bottom, 16, RGB(255, 214, 110),
                         RGB(222, 168, 64), RGB(150, 110, 40));
    }
    {
        GdiObject pen(MakeSolidPen(1, RGB(255, 236, 170)));
        SelectedObject selectedPen(dc, pen.handle);
        MoveToEx(dc, rc.left + 14, rc.top + 3, nullptr);
        LineTo(dc, rc.right - 14, rc.top + 3);
    }
    SetBkMode(dc, TRANSPARENT);
    GdiObject font(MakeFont(-30, FW_BOLD, kTextFace));
    SelectedObject selectedFont(dc, font.handle);
    // Moving only the left and top edges shifts the centred shadow half a pixel right, one down.
    SetTextColor(dc, RGB(120, 86, 26));
    DrawBox(dc, kPlayReady, rc.left + 1, rc.top + 2, rc.right, rc.bottom, kCentredText);
    SetTextColor(dc, RGB(38, 26, 8));
    DrawBox(dc, kPlayReady, rc.left, rc.top, rc.right, rc.bottom, kCentredText);
}

void DrawWaitingPlayFace(HDC dc, const RECT& rc) {
    FillRoundedPanel(dc, rc.left, rc.top, rc.right, rc.bottom, 16, RGB(64, 70, 88), RGB(46, 52, 68),
                     RGB(90, 98, 120));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(180, 190, 214));
    GdiObject font(MakeFont(-17, FW_BOLD, kTextFace));
    SelectedObject selectedFont(dc, font.handle);
    DrawBox(dc, kPlayWaiting, rc.left, rc.top, rc.right, rc.bottom, kCentredText);
}

// Without this, the parts of a button its face leaves unpainted show the system's button
// colour (a near-white box under the light glyphs). The frame is composed as the window
// paints it and the piece under the button copied in, so the face stands on the picture.
void DrawFrameBehindButton(const DRAWITEMSTRUCT* item) {
    HWND parent = item->hwndItem != nullptr ? GetParent(item->hwndItem) : nullptr;
    if (parent == nullptr)
        return;
    POINT origin = {item->rcItem.left, item->rcItem.top};
    MapWindowPoints(item->hwndItem, parent, &origin, 1);
    const RECT& rc = item->rcItem;
    CopyComposedFrame(item->hDC, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, origin.x,
                      origin.y);
}

// A 26 x 26 caption button: the glyph, on a rounded red (close) or blue-grey backing while held.
void DrawCaptionButtonFace(const DRAWITEMSTRUCT* item, GlyphProc glyph, bool closeVariant) {
    HDC dc = item->hDC;
    const RECT& rc = item->rcItem;
    COLORREF glyphColor = RGB(210, 218, 238);
    if (IsPressed(item)) {
        ClipRegion clip(dc, MakeRoundRegion(rc.left, rc.top, rc.right + 1, rc.bottom + 1, 8));
        if (closeVariant) {
            FillVerticalGradient(dc, rc.left, rc.top, rc.right, rc.bottom, RGB(150, 52, 52),
                                 RGB(120, 40, 40));
        } else {
            FillVerticalGradient(dc, rc.left, rc.top, rc.right, rc.bottom, RGB(52, 60, 84),
                                 RGB(40, 46, 66));
        }
        glyphColor = RGB(255, 240, 240);
    }
    glyph(dc, (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2, 7, glyphColor);
}

// A 78 x 70 side button: glyph over an upper-case label, on a rounded panel while held.
void DrawSideButtonFace(const DRAWITEMSTRUCT* item, GlyphProc glyph, const char* label) {
    HDC dc = item->hDC;
    const RECT& rc = item->rcItem;
    COLORREF color = RGB(214, 222, 240);
    if (IsPressed(item)) {
        FillRoundedPanel(dc, rc.left + 6, rc.top + 4, rc.right - 6, rc.bottom - 4, 12,
                         RGB(38, 44, 66), RGB(28, 33, 52), kBronzeBorder);
        color = RGB(244, 204, 120);
    }
    glyph(dc, (rc.left + rc.right) / 2, rc.top + 22, 10, color);
    GdiObject font(MakeFont(-11, FW_BOLD, kTextFace));
    SelectedObject selectedFont(dc, font.handle);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, color);
    DrawBox(dc, label, rc.left, rc.bottom - 22, rc.right, rc.bottom - 4, kLabelText);
}

// The 180 x 62 play button: grey "MEMERIKSA..." until the patch run ends, then golden "MAIN".
void DrawPlayButtonFace(const DRAWITEMSTRUCT* item) {
    HDC dc = item->hDC;
    const RECT& rc = item->rcItem;
    // Mostly clipped away by the button's own context; kept so the face matches the panel's.
    DrawOuterGlow(dc, rc.left, rc.top, rc.right, rc.bottom, 16);
    if (gState.patchFinished.load(std::memory_order_acquire) != 0) {
        DrawReadyPlayFace(dc, rc, IsPressed(item));
    } else {
        DrawWaitingPlayFace(dc, rc);
    }
}

}  // namespace

BOOL DrawButtonItem(const DRAWITEMSTRUCT* item) {
    if (IsLauncherButton(static_cast<int>(item->CtlID)))
        DrawFrameBehindButton(item);
    switch (item->CtlID) {
        case IDC_PLAY:
            DrawPlayButtonFace(item);
            break;
        case IDC_CLOSE:
            DrawCaptionButtonFace(item, GlyphClose, true);
            break;
        case IDC_REGISTER:
            DrawSideButtonFace(item, GlyphAddUser, kLabelRegister);
            break;
        case IDC_SETUP:
            DrawCaptionButtonFace(item, GlyphGear, false);
            break;
        case IDC_DISCORD:
            DrawSideButtonFace(item, GlyphDiscord, kLabelDiscord);
            break;
        case IDC_MINIMIZE:
            DrawCaptionButtonFace(item, GlyphMinimize, false);
            break;
        case IDC_WEBSITE:
            DrawSideButtonFace(item, GlyphGlobe, kLabelWebsite);
            break;
        case IDC_FACEBOOK:
            DrawSideButtonFace(item, GlyphLetterF, kLabelFacebook);
            break;
        case IDC_INSTAGRAM:
            DrawSideButtonFace(item, GlyphCamera, kLabelInstagram);
            break;
        default:
            break;
    }
    return TRUE;
}
