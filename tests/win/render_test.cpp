// Pixels of the primitives, the composed frame and the button faces, read back from DIBs at
// places GDI fixes exactly (straight edges, fills, gradient rows), never at text; and the GDI
// balance of painting. Expected colours are worked out by hand in the comments.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <initializer_list>
#include <string>

#include "base/control_ids.h"
#include "base/launcher_state_win.h"
#include "render/button_faces_win.h"
#include "render/glyphs_win.h"
#include "render/paint_win.h"
#include "render/primitives_win.h"
#include "support/test_support.h"

namespace {

constexpr COLORREF kCanvas = RGB(1, 2, 3);
constexpr COLORREF kWindowColor = RGB(10, 13, 22);
constexpr COLORREF kGoldEdge = RGB(120, 96, 44);
constexpr COLORREF kSideBackdrop = RGB(14, 18, 30);

// A top-down 32-bit DIB section in a memory context, filled with one colour.
struct Canvas {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ previous;
    uint32_t* bits = nullptr;
    int width, height;
    Canvas(int w, int h) : width(w), height(h) {
        BITMAPINFO info = {};
        info.bmiHeader = {sizeof(info.bmiHeader), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits),
                                  nullptr, 0);
        dc = CreateCompatibleDC(nullptr);
        previous = SelectObject(dc, bitmap);
        Fill(kCanvas);
    }
    ~Canvas() {
        SelectObject(dc, previous);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    void Fill(COLORREF c) {
        std::fill_n(bits, width * height,
                    (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c));
    }
    COLORREF At(int x, int y) const {
        GdiFlush();
        uint32_t v = bits[y * width + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    int Count(COLORREF c) const {
        int n = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                n += At(x, y) == c;
        return n;
    }
    // Pixels of a band that differ from the band's own first column: the ink on a gradient.
    int Inked(int left, int top, int right, int bottom) const {
        int n = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                n += At(x, y) != At(left, y);
        return n;
    }
};

std::string Rgb(COLORREF c) {
    return std::to_string(GetRValue(c)) + "," + std::to_string(GetGValue(c)) + "," +
           std::to_string(GetBValue(c));
}

struct Px {
    int x, y;
    COLORREF color;
};

void ExpectPixels(const Canvas& canvas, std::initializer_list<Px> pixels) {
    for (const Px& p : pixels) {
        EXPECT_EQ(Rgb(canvas.At(p.x, p.y)), Rgb(p.color)) << "at (" << p.x << "," << p.y << ")";
    }
}

// The pen, brush and font a drawing call must hand back, and no clip region left behind.
bool ContextRestored(HDC dc, HGDIOBJ pen, HGDIOBJ brush, HGDIOBJ font) {
    HRGN probe = CreateRectRgn(0, 0, 0, 0);
    bool clipped = GetClipRgn(dc, probe) == 1;
    DeleteObject(probe);
    return !clipped && GetCurrentObject(dc, OBJ_PEN) == pen &&
           GetCurrentObject(dc, OBJ_BRUSH) == brush && GetCurrentObject(dc, OBJ_FONT) == font;
}

TEST(PrimitivesTest, GradientRowsPanelEdgesAndTheShadowFrame) {
    Canvas canvas(240, 140);
    // Four rows, red 0 -> 255 and green 255 -> 0: k * 255 / 4 truncates to 0, 63, 127, 191;
    // the last row stops one step short of the bottom colour.
    FillVerticalGradient(canvas.dc, 10, 10, 30, 14, RGB(0, 255, 10), RGB(255, 0, 10));
    ExpectPixels(canvas, {{10, 10, RGB(0, 255, 10)},
                          {29, 11, RGB(63, 192, 10)},
                          {20, 12, RGB(127, 128, 10)},
                          {10, 13, RGB(191, 64, 10)},
                          {9, 12, kCanvas},
                          {30, 12, kCanvas},
                          {20, 9, kCanvas},
                          {20, 14, kCanvas}});
    canvas.Fill(kCanvas);
    FillVerticalGradient(canvas.dc, 2, 10, 20, 10, RGB(200, 0, 0), RGB(0, 0, 200));
    EXPECT_EQ(canvas.Count(kCanvas), 240 * 140);

    // A 100-row panel from (200, 100, 0) to (100, 0, 200): row k is (200 - k, 100 - k, 2k).
    HGDIOBJ pen = GetCurrentObject(canvas.dc, OBJ_PEN),
            brush = GetCurrentObject(canvas.dc, OBJ_BRUSH);
    HGDIOBJ font = GetCurrentObject(canvas.dc, OBJ_FONT);
    FillRoundedPanel(canvas.dc, 20, 20, 220, 120, 40, RGB(200, 100, 0), RGB(100, 0, 200),
                     kGoldEdge);
    EXPECT_TRUE(ContextRestored(canvas.dc, pen, brush, font));
    ExpectPixels(canvas, {{120, 19, kCanvas},
                          {120, 20, kGoldEdge},
                          {120, 119, kGoldEdge},
                          {120, 120, kCanvas},
                          {19, 70, kCanvas},
                          {20, 70, kGoldEdge},
                          {219, 70, kGoldEdge},
                          {220, 70, kCanvas},
                          {120, 21, RGB(199, 99, 2)},
                          {21, 70, RGB(150, 50, 100)},
                          {120, 118, RGB(102, 2, 196)},
                          // Corners of radius 20 lie outside the rounded region.
                          {22, 22, kCanvas},
                          {217, 117, kCanvas}});

    // Three outlines in (18, 18, 21), (14, 14, 17), (10, 10, 13), from the outside in, one to
    // three pixels beside the rectangle and below it.
    canvas.Fill(kCanvas);
    DrawOuterGlow(canvas.dc, 30, 20, 200, 120, 18);
    EXPECT_TRUE(ContextRestored(canvas.dc, pen, brush, font));
    ExpectPixels(canvas, {{26, 70, kCanvas},
                          {27, 70, RGB(18, 18, 21)},
                          {28, 70, RGB(14, 14, 17)},
                          {29, 70, RGB(10, 10, 13)},
                          {30, 70, kCanvas},
                          {100, 122, RGB(10, 10, 13)},
                          {100, 124, RGB(18, 18, 21)},
                          {100, 125, kCanvas}});
}

TEST(PrimitivesTest, GlyphsDrawInTheirColourInsideTheirBoxAndRestoreTheContext) {
    Canvas canvas(60, 60);
    const COLORREF ink = RGB(77, 166, 255);
    for (GlyphProc glyph : {GlyphClose, GlyphMinimize, GlyphGear, GlyphAddUser, GlyphDiscord,
                            GlyphGlobe, GlyphCamera}) {
        canvas.Fill(kCanvas);
        HGDIOBJ pen = GetCurrentObject(canvas.dc, OBJ_PEN);
        HGDIOBJ brush = GetCurrentObject(canvas.dc, OBJ_BRUSH);
        glyph(canvas.dc, 30, 30, 10, ink);
        EXPECT_TRUE(ContextRestored(canvas.dc, pen, brush, GetCurrentObject(canvas.dc, OBJ_FONT)));
        EXPECT_GT(canvas.Count(ink), 10);
        EXPECT_EQ(canvas.Inked(0, 0, 60, 3) + canvas.Inked(0, 57, 60, 60), 0);
    }
    // The eyes keep the dark panel colour whatever colour the face asks for.
    canvas.Fill(kCanvas);
    GlyphDiscord(canvas.dc, 30, 30, 10, ink);
    ExpectPixels(canvas, {{26, 31, RGB(20, 26, 44)}, {34, 31, RGB(20, 26, 44)}});
}

class FrameTest : public ::testing::Test {
protected:
    Canvas frame{820, 520};
    void SetUp() override {
        ResetLauncherForRun(MakeGameDir("render"));
        gState.backgroundBitmap = nullptr;
    }
    void Compose() { ComposeFrame(frame.dc); }
    void Publish(int count) {
        for (int i = 0; i < count; ++i) {
            memset(&gState.newsItems[i], 0, sizeof(NewsItem));
            strcpy(gState.newsItems[i].tag, "FESTIVAL");
            strcpy(gState.newsItems[i].title, "Festival Lentera");
            strcpy(gState.newsItems[i].body, "Dermaga Kovan & pasar malam");
        }
        gState.newsCount.store(count);
    }
};

TEST_F(FrameTest, PanelNewsStatesProgressAndSideBar) {
    Compose();
    // Without a picture the window colour shows. The panel spans 30..499 x 150..399; its
    // gradient from (26, 32, 52) to (17, 21, 36) over 250 rows gives row 50 (y = 200)
    // 26 - 450 / 250 = 25, 32 - 550 / 250 = 30, 52 - 800 / 250 = 49.
    ExpectPixels(frame, {{600, 100, kWindowColor},
                         {100, 150, RGB(70, 84, 124)},
                         {30, 220, RGB(70, 84, 124)},
                         {498, 200, RGB(25, 30, 49)},
                         {46, 162, RGB(246, 204, 110)},
                         {800, 200, kSideBackdrop},
                         {737, 200, kWindowColor},
                         {738, 100, RGB(60, 72, 104)}});
    // Loading: one line of text; welcome: two; neither has rows below.
    EXPECT_GT(frame.Inked(40, 202, 490, 224), 0);
    EXPECT_EQ(frame.Inked(40, 226, 490, 396), 0);
    Publish(0);
    Compose();
    EXPECT_GT(frame.Inked(40, 228, 490, 250), 0);
    EXPECT_EQ(frame.Inked(40, 252, 490, 396), 0);
    // Five rows with bodies: pills at the row tops, separators four pixels above the next row.
    Publish(5);
    Compose();
    for (int top : {202, 242, 282, 322, 362})
        ExpectPixels(frame, {{79, top, kGoldEdge}});
    for (int y : {236, 276, 316, 356})
        ExpectPixels(frame, {{50, y, RGB(40, 48, 72)}, {481, y, RGB(40, 48, 72)}});
    EXPECT_EQ(frame.Inked(40, 396, 490, 398), 0);

    // The fill is 674 * p / 100 wide from x = 31, its middle row (2 of 5) 252 - 2 * 28 / 5
    // = 241, 214 - 2 * 44 / 5 = 197, 120 - 2 * 54 / 5 = 99; the track's inside is row 3 of
    // 7 from (30, 36, 54) to (22, 27, 42): 27, 33, 49. Past 100 % the fill stops at the end.
    const COLORREF fill = RGB(241, 197, 99), track = RGB(27, 33, 49);
    for (const auto& row :
         {std::make_pair(1, 6), std::make_pair(50, 337), std::make_pair(185, 674)}) {
        gState.progressPercent.store(row.first);
        Compose();
        ExpectPixels(frame, {{31, 483, fill}, {30 + row.second, 483, fill}});
        if (row.second < 674)
            ExpectPixels(frame, {{31 + row.second, 483, track}});
        ExpectPixels(frame, {{706, 483, kWindowColor}});
    }
    gState.progressPercent.store(0);
    Compose();
    ExpectPixels(frame, {{30, 483, RGB(56, 66, 96)}, {31, 483, track}});
}

BOOL DrawFace(Canvas& canvas, UINT id, bool pressed, HWND button = nullptr) {
    canvas.Fill(kCanvas);
    DRAWITEMSTRUCT item = {ODT_BUTTON,
                           id,
                           0,
                           ODA_DRAWENTIRE,
                           pressed ? static_cast<UINT>(ODS_SELECTED) : 0U,
                           button,
                           canvas.dc,
                           {0, 0, canvas.width, canvas.height},
                           0};
    HGDIOBJ pen = GetCurrentObject(canvas.dc, OBJ_PEN),
            brush = GetCurrentObject(canvas.dc, OBJ_BRUSH);
    HGDIOBJ font = GetCurrentObject(canvas.dc, OBJ_FONT);
    BOOL result = DrawButtonItem(&item);
    EXPECT_TRUE(ContextRestored(canvas.dc, pen, brush, font)) << id;
    return result;
}

TEST_F(FrameTest, ButtonFacesInTheirStates) {
    // Close held: 26 rows from (150, 52, 52) to (120, 40, 40); row 13 is 150 - 390 / 26 = 135,
    // 52 - 156 / 26 = 46. Corners of the 8-pixel ellipse stay unpainted; released, only the
    // glyph is drawn.
    Canvas caption(26, 26);
    EXPECT_TRUE(DrawFace(caption, IDC_CLOSE, true));
    ExpectPixels(caption, {{0, 13, RGB(135, 46, 46)},
                           {25, 13, RGB(135, 46, 46)},
                           {13, 0, RGB(150, 52, 52)},
                           {0, 0, kCanvas},
                           {13, 13, RGB(255, 240, 240)}});
    DrawFace(caption, IDC_SETUP, false);
    EXPECT_EQ(caption.Count(kCanvas) + caption.Count(RGB(210, 218, 238)), 26 * 26);

    // A side button held: panel (6, 4)-(72, 66) with a gold edge, row 31 of 62 from
    // (38, 44, 66) to (28, 33, 52): 38 - 310 / 62 = 33, 44 - 341 / 62 = 39, 66 - 434 / 62 = 59.
    Canvas side(78, 70);
    for (UINT id : {IDC_WEBSITE, IDC_REGISTER, IDC_DISCORD, IDC_FACEBOOK, IDC_INSTAGRAM}) {
        EXPECT_TRUE(DrawFace(side, id, true));
        ExpectPixels(side, {{39, 3, kCanvas},
                            {39, 4, kGoldEdge},
                            {5, 35, kCanvas},
                            {6, 35, kGoldEdge},
                            {10, 35, RGB(33, 39, 59)},
                            {0, 0, kCanvas}});
        EXPECT_GT(side.Count(RGB(244, 204, 120)), 10);
        DrawFace(side, id, false);
        ExpectPixels(side, {{10, 35, kCanvas}});
        EXPECT_GT(side.Count(RGB(214, 222, 240)), 10);
    }

    // Play: grey while waiting (also held), golden once the run ended, darker while held.
    // Row 31 of 62: waiting (64, 70, 88) -> (46, 52, 68) gives 64 - 558 / 62 = 55, 61, 78;
    // ready (255, 214, 110) -> (222, 168, 64) gives 255 - 1023 / 62 = 239, 191, 87; held
    // (232, 182, 86) -> (198, 150, 58) gives 232 - 1054 / 62 = 215, 166, 72.
    Canvas play(180, 62);
    const struct {
        int finished;
        bool pressed;
        COLORREF edge, middle;
        bool highlight;
    } faces[] = {{0, false, RGB(90, 98, 120), RGB(55, 61, 78), false},
                 {0, true, RGB(90, 98, 120), RGB(55, 61, 78), false},
                 {1, false, RGB(150, 110, 40), RGB(239, 191, 87), true},
                 {1, true, RGB(150, 110, 40), RGB(215, 166, 72), true}};
    for (const auto& face : faces) {
        gState.patchFinished.store(face.finished);
        EXPECT_TRUE(DrawFace(play, IDC_PLAY, face.pressed));
        ExpectPixels(
            play, {{90, 0, face.edge}, {0, 31, face.edge}, {10, 31, face.middle}, {0, 0, kCanvas}});
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

HWND MakeChild(HWND parent, int id, int left, int top, int width, int height) {
    return CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, left, top, width,
                           height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           nullptr, nullptr);
}

TEST_F(FrameTest, FacesStandOnTheFrameAndPaintingDeletesWhatItCreates) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = PaintingProc;
    windowClass.lpszClassName = "SkhRenderTestWindow";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "SkhRenderTestWindow", "render", WS_POPUP, 0, 0, 820, 520,
                                  nullptr, nullptr, nullptr, nullptr);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    HWND side = MakeChild(window, IDC_WEBSITE, 738, 74, 78, 70);
    HWND play = MakeChild(window, IDC_PLAY, 532, 412, 180, 62);
    Canvas sideFace(78, 70), playFace(180, 62);

    // The part of a face its drawing leaves alone shows the frame behind the button: the
    // side bar's line down the first column, its backdrop, the window colour at the play
    // button's corner.
    DrawFace(sideFace, IDC_WEBSITE, false, side);
    DrawFace(playFace, IDC_PLAY, false, play);
    ExpectPixels(sideFace, {{0, 35, RGB(60, 72, 104)}, {10, 35, kSideBackdrop}});
    ExpectPixels(playFace, {{0, 0, kWindowColor}});

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
