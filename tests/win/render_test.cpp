// Primitives and button faces read back from DIBs, never at text: states by how they differ, the
// frame behind the faces, the GDI balance of painting. The composed frame is the session test's.
#include <gtest/gtest.h>

#include <stdint.h>

#include <algorithm>

#include "base/control_ids.h"
#include "base/launcher_state_win.h"
#include "base/window_frame.h"
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
    uint32_t* bits = nullptr;
    int width, height;
    Canvas(int w, int h) : width(w), height(h) {
        BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits),
                                  nullptr, 0);
        SelectObject(dc, bitmap);
        Clear();
    }
    ~Canvas() {
        DeleteDC(dc);  // first, so that the bitmap is free to go
        DeleteObject(bitmap);
    }
    void Clear() { std::fill_n(bits, width * height, 0x010203); }
    COLORREF At(int x, int y) const {
        GdiFlush();
        uint32_t v = bits[y * width + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    template <typename Test>
    int Count(Test test) const {
        int n = 0;
        for (int i = 0; i < width * height; ++i)
            n += test(At(i % width, i / width));
        return n;
    }
};

int Brightness(COLORREF c) {
    return GetRValue(c) + GetGValue(c) + GetBValue(c);
}

// Pen, brush and font are selected again after draw, and no clip region is left behind.
template <typename Draw>
void ExpectContextRestored(HDC dc, Draw draw) {
    auto selected = [dc](UINT kind) { return GetCurrentObject(dc, kind); };
    const HGDIOBJ before[] = {selected(OBJ_PEN), selected(OBJ_BRUSH), selected(OBJ_FONT)};
    draw();
    HRGN probe = CreateRectRgn(0, 0, 0, 0);
    EXPECT_NE(GetClipRgn(dc, probe), 1);
    DeleteObject(probe);
    EXPECT_TRUE(selected(OBJ_PEN) == before[0] && selected(OBJ_BRUSH) == before[1] &&
                selected(OBJ_FONT) == before[2]);
}

TEST(PrimitivesTest, PanelRowsAndEdgesAndTheShadowFrame) {
    // A 100-row panel, row k (200 - k, 100 - k, 2k), in a one-pixel edge with radius 20 corners.
    Canvas panel(240, 140);
    ExpectContextRestored(panel.dc, [&] {
        FillRoundedPanel(panel.dc, 20, 20, 220, 120, 40, RGB(200, 100, 0), RGB(100, 0, 200),
                         RGB(120, 96, 44));
    });
    using Points = std::initializer_list<std::pair<int, int>>;
    for (const auto& xy : Points{{120, 20}, {120, 119}, {20, 70}, {219, 70}})
        EXPECT_EQ(panel.At(xy.first, xy.second), RGB(120, 96, 44)) << xy.first << "," << xy.second;
    for (const auto& xy : Points{{120, 19}, {120, 120}, {19, 70}, {220, 70}, {22, 22}, {217, 117}})
        EXPECT_EQ(panel.At(xy.first, xy.second), kCanvas) << xy.first << "," << xy.second;
    EXPECT_EQ(panel.At(120, 21), RGB(199, 99, 2));
    EXPECT_EQ(panel.At(21, 70), RGB(150, 50, 100));
    EXPECT_EQ(panel.At(120, 118), RGB(102, 2, 196));

    // Three outlines 1-3 pixels beside the rectangle and 2-4 below it, darker from outside in.
    Canvas glow(240, 140);
    ExpectContextRestored(glow.dc, [&] { DrawOuterGlow(glow.dc, 30, 20, 200, 120, 18); });
    const COLORREF outer = glow.At(27, 70), middle = glow.At(28, 70), inner = glow.At(29, 70);
    EXPECT_TRUE(Brightness(outer) > Brightness(middle) && Brightness(middle) > Brightness(inner));
    EXPECT_TRUE(inner != kCanvas && glow.At(100, 122) == inner && glow.At(100, 124) == outer);
    for (const auto& xy : Points{{26, 70}, {30, 70}, {100, 121}, {100, 125}})
        EXPECT_EQ(glow.At(xy.first, xy.second), kCanvas) << xy.first << "," << xy.second;
}

BOOL DrawFace(Canvas& canvas, UINT id, bool pressed, HWND button = nullptr) {
    canvas.Clear();
    DRAWITEMSTRUCT item = {ODT_BUTTON, id, 0, ODA_DRAWENTIRE, pressed ? ODS_SELECTED : 0U, button,
                           canvas.dc,  {}, 0};
    SetRect(&item.rcItem, 0, 0, canvas.width, canvas.height);
    BOOL result = FALSE;
    ExpectContextRestored(canvas.dc, [&] { result = DrawButtonItem(&item); });
    return result;
}

LRESULT CALLBACK PaintingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT)
        return DefWindowProcA(window, message, wParam, lParam);
    PaintMainWindow(window);
    return 0;
}

TEST(ButtonFacesTest, EveryFaceInItsStatesOnTheFrameAndPaintingDeletesWhatItCreates) {
    ResetLauncherForRun(MakeGameDir("faces"));
    // A caption button held lights a round plate, corners left alone; released, only the glyph.
    Canvas caption(26, 26);
    EXPECT_TRUE(DrawFace(caption, IDC_CLOSE, true));
    EXPECT_EQ(caption.At(0, 0), kCanvas);
    EXPECT_TRUE(caption.At(0, 13) != kCanvas && caption.At(13, 0) != kCanvas);
    DrawFace(caption, IDC_SETUP, false);
    const COLORREF glyph = caption.At(13, 13) == kCanvas ? caption.At(13, 6) : caption.At(13, 13);
    EXPECT_NE(glyph, kCanvas);
    EXPECT_EQ(caption.Count([&](COLORREF c) { return c == kCanvas || c == glyph; }), 26 * 26);

    // A side button held: a bordered panel inside its margins, warm glyph and label; else cool.
    Canvas side(kSideButtonWidth, kSideButtonHeight);
    for (UINT id : {IDC_WEBSITE, IDC_REGISTER, IDC_DISCORD, IDC_FACEBOOK, IDC_INSTAGRAM}) {
        DrawFace(side, id, false);
        const COLORREF bare = side.At(10, 35);
        const int cool =
            side.Count([](COLORREF c) { return c != kCanvas && GetBValue(c) > GetRValue(c); });
        EXPECT_TRUE(DrawFace(side, id, true));
        const COLORREF border = side.At(6, 35), panel = side.At(10, 35);
        const int warm = side.Count([&](COLORREF c) {
            return c != kCanvas && c != border && c != panel && GetRValue(c) > GetBValue(c) + 60;
        });
        EXPECT_TRUE(bare == kCanvas && cool > 10 && side.At(5, 35) == kCanvas &&
                    border != kCanvas && panel != kCanvas && border != panel &&
                    side.At(39, 4) == border && warm > 10)
            << id << ": " << cool << " cool, " << warm << " warm";
    }

    // Play: grey while the run goes on; golden once it ended, darker held, with a highlight line.
    const FrameArea& p = kPlayButton;
    const int playWidth = p.right - p.left, playHeight = p.bottom - p.top;
    Canvas play(playWidth, playHeight);
    COLORREF centre[2][2], highlight[2][2];
    for (int i = 0; i < 4; ++i) {
        const int finished = i / 2, pressed = i % 2;
        gState.patchFinished.store(finished);
        EXPECT_TRUE(DrawFace(play, IDC_PLAY, pressed));
        EXPECT_EQ(play.At(0, 0), kCanvas);
        centre[finished][pressed] = play.At(10, 31);
        highlight[finished][pressed] = play.At(90, 3);
    }
    const COLORREF waiting = centre[0][0], ready = centre[1][0], held = centre[1][1];
    EXPECT_EQ(centre[0][1], waiting);
    EXPECT_TRUE(GetBValue(waiting) >= GetRValue(waiting) &&
                GetRValue(waiting) - GetGValue(waiting) < 20);
    for (COLORREF golden : {ready, held})
        EXPECT_TRUE(GetRValue(golden) > GetGValue(golden) &&
                    GetGValue(golden) > GetBValue(golden) + 40);
    EXPECT_LT(Brightness(held), Brightness(ready));
    EXPECT_GT(Brightness(highlight[1][0]), Brightness(ready));
    EXPECT_GT(Brightness(highlight[1][1]), Brightness(held));
    EXPECT_LT(Brightness(highlight[0][0]) - Brightness(waiting), 40);
    EXPECT_TRUE(DrawFace(play, 1010, false));  // any other identifier: nothing drawn, still TRUE
    EXPECT_EQ(play.Count([](COLORREF c) { return c == kCanvas; }), playWidth * playHeight);

    // On the main window, faces stand on the frame, and painting deletes what it creates.
    const WNDCLASSA windowClass = {0,       PaintingProc, 0,       0,       nullptr,
                                   nullptr, nullptr,      nullptr, nullptr, "SkhRenderTestWindow"};
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "SkhRenderTestWindow", "render", WS_POPUP, 0, 0, kWindowWidth,
                                  kWindowHeight, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    auto child = [&](int id, int left, int top, int width, int height) {
        return CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, left, top,
                               width, height, window,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    };
    HWND sideButton =
        child(IDC_WEBSITE, kSideButtonsLeft, kSideButtonsTop, kSideButtonWidth, kSideButtonHeight);
    HWND playButton = child(IDC_PLAY, p.left, p.top, playWidth, playHeight);
    Canvas frame(kWindowWidth, kWindowHeight);
    ComposeFrame(frame.dc);

    // What a face leaves alone shows the frame behind it, pixel for pixel.
    DrawFace(side, IDC_WEBSITE, false, sideButton);
    DrawFace(play, IDC_PLAY, false, playButton);
    for (int x : {0, 10})
        EXPECT_EQ(side.At(x, 35), frame.At(kSideButtonsLeft + x, kSideButtonsTop + 35)) << x;
    EXPECT_EQ(play.At(0, 0), frame.At(p.left, p.top));

    // Wine's GetGuiResources answers 0: the test build tallies objects made and deleted.
    GdiTally before = ReadGdiTally();
    for (int i = 0; i < 60; ++i) {
        gState.newsCount.store(i % 3 - 1);
        gState.progressPercent.store(i * 2);
        gState.patchFinished.store(i % 2);
        InvalidateRect(window, nullptr, FALSE);
        UpdateWindow(window);
        for (UINT id : {IDC_CLOSE, IDC_SETUP, IDC_WEBSITE, IDC_DISCORD})
            DrawFace(side, id, i % 4 < 2, i % 5 == 0 ? sideButton : nullptr);
        DrawFace(play, IDC_PLAY, i % 4 < 2, i % 5 == 0 ? playButton : nullptr);
    }
    GdiTally after = ReadGdiTally();
    DestroyWindow(window);
    EXPECT_GT(after.created - before.created, 60L * 500);  // hundreds of gradient rows a frame
    EXPECT_EQ(after.created - before.created, after.deleted - before.deleted);
}

}  // namespace
