// Pixels of the primitives and the button faces, read back from DIBs at places GDI fixes
// exactly (straight edges, fills, gradient rows), never at text; the frame behind the faces;
// and the GDI balance of painting. Expected colours are worked out by hand in the comments.
// The composed frame's states are checked on the screenshots of the end-to-end session.
#include <gtest/gtest.h>

#include <stdint.h>
#include <stdio.h>

#include <algorithm>
#include <string>

#include "base/control_ids.h"
#include "base/launcher_state_win.h"
#include "render/button_faces_win.h"
#include "render/paint_win.h"
#include "render/primitives_win.h"
#include "support/test_support.h"

namespace {

constexpr COLORREF kCanvas = RGB(1, 2, 3);

// A top-down 32-bit DIB section in a memory context, filled with kCanvas.
struct Canvas {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap;
    HGDIOBJ previous;
    uint32_t* bits = nullptr;
    int width, height;
    Canvas(int w, int h) : width(w), height(h) {
        BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits),
                                  nullptr, 0);
        previous = SelectObject(dc, bitmap);
        std::fill_n(bits, width * height, 0x010203);
    }
    ~Canvas() {
        SelectObject(dc, previous);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    COLORREF At(int x, int y) const {
        GdiFlush();
        uint32_t v = bits[y * width + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    int Count(COLORREF c) const {
        int n = 0;
        for (int i = 0; i < width * height; ++i)
            n += At(i % width, i / width) == c;
        return n;
    }
};

// Checks "x,y=r,g,b" items separated by blanks; "c" stands for the untouched canvas.
void ExpectPixels(const Canvas& canvas, const char* table) {
    int x, y, r, g, b, used;
    for (const char* p = table; sscanf(p, " %d,%d=%n", &x, &y, &used) == 2; p += used) {
        p += used;
        if (*p == 'c') {
            r = 1, g = 2, b = 3, used = 1;
        } else {
            sscanf(p, "%d,%d,%d%n", &r, &g, &b, &used);
        }
        EXPECT_EQ(canvas.At(x, y), RGB(r, g, b)) << "at " << x << "," << y;
    }
}

// Draws with pen, brush and font noted before; they must be selected again afterwards, and
// no clip region left behind.
template <typename Draw>
void ExpectContextRestored(HDC dc, Draw draw) {
    HGDIOBJ pen = GetCurrentObject(dc, OBJ_PEN), brush = GetCurrentObject(dc, OBJ_BRUSH);
    HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
    draw();
    HRGN probe = CreateRectRgn(0, 0, 0, 0);
    EXPECT_NE(GetClipRgn(dc, probe), 1);
    DeleteObject(probe);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brush);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font);
}

TEST(PrimitivesTest, PanelRowsAndEdgesAndTheShadowFrame) {
    // A 100-row panel from (200, 100, 0) to (100, 0, 200): row k is (200 - k, 100 - k, 2k).
    // Its one-pixel edge, and corners of radius 20 outside its rounded region.
    Canvas panel(240, 140);
    ExpectContextRestored(panel.dc, [&] {
        FillRoundedPanel(panel.dc, 20, 20, 220, 120, 40, RGB(200, 100, 0), RGB(100, 0, 200),
                         RGB(120, 96, 44));
    });
    ExpectPixels(panel,
                 "120,19=c 120,20=120,96,44 120,119=120,96,44 120,120=c 19,70=c "
                 "20,70=120,96,44 219,70=120,96,44 220,70=c 120,21=199,99,2 "
                 "21,70=150,50,100 120,118=102,2,196 22,22=c 217,117=c");

    // Three outlines in (18, 18, 21), (14, 14, 17), (10, 10, 13), from the outside in, one
    // to three pixels beside the rectangle and two to four below it.
    Canvas glow(240, 140);
    ExpectContextRestored(glow.dc, [&] { DrawOuterGlow(glow.dc, 30, 20, 200, 120, 18); });
    ExpectPixels(glow,
                 "26,70=c 27,70=18,18,21 28,70=14,14,17 29,70=10,10,13 30,70=c "
                 "100,122=10,10,13 100,124=18,18,21 100,125=c");
}

BOOL DrawFace(Canvas& canvas, UINT id, bool pressed, HWND button = nullptr) {
    std::fill_n(canvas.bits, canvas.width * canvas.height, 0x010203);
    DRAWITEMSTRUCT item = {ODT_BUTTON,
                           id,
                           0,
                           ODA_DRAWENTIRE,
                           pressed ? static_cast<UINT>(ODS_SELECTED) : 0U,
                           button,
                           canvas.dc,
                           {0, 0, canvas.width, canvas.height},
                           0};
    BOOL result = FALSE;
    ExpectContextRestored(canvas.dc, [&] { result = DrawButtonItem(&item); });
    return result;
}

TEST(ButtonFacesTest, EveryFaceInItsStates) {
    ResetLauncherForRun(MakeGameDir("faces"));
    // Close held: 26 rows from (150, 52, 52) to (120, 40, 40); row 13 is 150 - 390 / 26 = 135,
    // 52 - 156 / 26 = 46. The 8-pixel ellipse's corners stay unpainted; released, the glyph
    // is all there is.
    Canvas caption(26, 26);
    EXPECT_TRUE(DrawFace(caption, IDC_CLOSE, true));
    ExpectPixels(caption, "0,13=135,46,46 25,13=135,46,46 13,0=150,52,52 0,0=c 13,13=255,240,240");
    DrawFace(caption, IDC_SETUP, false);
    EXPECT_EQ(caption.Count(kCanvas) + caption.Count(RGB(210, 218, 238)), 26 * 26);

    // A side button held: panel (6, 4)-(72, 66) with a gold edge, row 31 of 62 from
    // (38, 44, 66) to (28, 33, 52): 38 - 310 / 62 = 33, 44 - 341 / 62 = 39, 66 - 434 / 62 = 59.
    Canvas side(78, 70);
    for (UINT id : {IDC_WEBSITE, IDC_REGISTER, IDC_DISCORD, IDC_FACEBOOK, IDC_INSTAGRAM}) {
        EXPECT_TRUE(DrawFace(side, id, true));
        ExpectPixels(side, "39,3=c 39,4=120,96,44 5,35=c 6,35=120,96,44 10,35=33,39,59 0,0=c");
        EXPECT_GT(side.Count(RGB(244, 204, 120)), 10);
        DrawFace(side, id, false);
        ExpectPixels(side, "10,35=c");
        EXPECT_GT(side.Count(RGB(214, 222, 240)), 10);
    }

    // Play: grey while waiting (held too), golden once the run ended, darker while held.
    // Row 31 of 62: waiting (64, 70, 88) -> (46, 52, 68) gives 64 - 558 / 62 = 55, 61, 78;
    // ready (255, 214, 110) -> (222, 168, 64) gives 255 - 1023 / 62 = 239, 191, 87; held
    // (232, 182, 86) -> (198, 150, 58) gives 232 - 1054 / 62 = 215, 166, 72. Only the ready
    // face has the highlight, from x = 14 to 165 on row 3.
    Canvas play(180, 62);
    const struct {
        int finished;
        bool pressed;
        const char* pixels;
        bool highlight;
    } faces[] = {{0, false, "90,0=90,98,120 0,31=90,98,120 10,31=55,61,78 0,0=c", false},
                 {0, true, "90,0=90,98,120 10,31=55,61,78", false},
                 {1, false, "90,0=150,110,40 0,31=150,110,40 10,31=239,191,87 0,0=c", true},
                 {1, true, "90,0=150,110,40 10,31=215,166,72", true}};
    for (const auto& face : faces) {
        gState.patchFinished.store(face.finished);
        EXPECT_TRUE(DrawFace(play, IDC_PLAY, face.pressed));
        ExpectPixels(play, face.pixels);
        EXPECT_EQ(play.At(14, 3) == RGB(255, 236, 170), face.highlight);
        EXPECT_EQ(play.At(165, 3) == RGB(255, 236, 170), face.highlight);
        EXPECT_NE(play.At(166, 3), RGB(255, 236, 170));
    }
    // Any other identifier draws nothing and still answers TRUE.
    EXPECT_TRUE(DrawFace(play, 1010, false));
    EXPECT_EQ(play.Count(kCanvas), 180 * 62);
}

LRESULT CALLBACK PaintingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PaintMainWindow(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST(ButtonFacesTest, FacesStandOnTheFrameAndPaintingDeletesWhatItCreates) {
    ResetLauncherForRun(MakeGameDir("frame"));
    gState.backgroundBitmap = nullptr;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = PaintingProc;
    windowClass.lpszClassName = "SkhRenderTestWindow";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "SkhRenderTestWindow", "render", WS_POPUP, 0, 0, 820, 520,
                                  nullptr, nullptr, nullptr, nullptr);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    auto child = [&](int id, int left, int top, int width, int height) {
        return CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, left, top,
                               width, height, window,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    };
    HWND side = child(IDC_WEBSITE, 738, 74, 78, 70);
    HWND play = child(IDC_PLAY, 532, 412, 180, 62);
    Canvas sideFace(78, 70), playFace(180, 62);

    // What a face leaves alone shows the frame behind the button: the side bar's line down
    // its first column and its backdrop, the window colour at the play button's corner.
    DrawFace(sideFace, IDC_WEBSITE, false, side);
    DrawFace(playFace, IDC_PLAY, false, play);
    ExpectPixels(sideFace, "0,35=60,72,104 10,35=14,18,30");
    ExpectPixels(playFace, "0,0=10,13,22");

    // Wine's GetGuiResources answers 0; the test build's tally counts every object made and
    // every successful deletion.
    GdiTally before = ReadGdiTally();
    for (int i = 0; i < 60; ++i) {
        gState.newsCount.store(i % 3 - 1);
        gState.progressPercent.store(i * 2);
        gState.patchFinished.store(i % 2);
        InvalidateRect(window, nullptr, FALSE);
        UpdateWindow(window);
        for (UINT id : {IDC_CLOSE, IDC_SETUP, IDC_WEBSITE, IDC_DISCORD})
            DrawFace(sideFace, id, i % 4 < 2, i % 5 == 0 ? side : nullptr);
        DrawFace(playFace, IDC_PLAY, i % 4 < 2, i % 5 == 0 ? play : nullptr);
    }
    GdiTally after = ReadGdiTally();
    DestroyWindow(window);
    EXPECT_GT(after.created - before.created, 60L * 500);  // hundreds of gradient rows a frame
    EXPECT_EQ(after.created - before.created, after.deleted - before.deleted);
}

}  // namespace
