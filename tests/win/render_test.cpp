// Pixels of the primitives, glyphs, composed frame and button faces, read back from DIBs.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string>

#include "base/control_ids.h"
#include "base/launcher_state_win.h"
#include "render/gdi_objects_win.h"
#include "render/glyphs_win.h"
#include "render/gradient.h"
#include "base/window_frame.h"
#include "render/button_faces_win.h"
#include "render/paint_win.h"
#include "render/primitives_win.h"
#include "support/test_support.h"
#include "test_seams.h"

namespace {

constexpr COLORREF kCanvasColor = RGB(1, 2, 3);
constexpr COLORREF kWindowColor = RGB(10, 13, 22);
constexpr COLORREF kPillBorder = RGB(120, 96, 44);
constexpr COLORREF kSeparator = RGB(40, 48, 72);
constexpr COLORREF kSideBackdrop = RGB(14, 18, 30);
constexpr COLORREF kSideLine = RGB(60, 72, 104);

uint32_t Packed(COLORREF color) {
    return (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
}

// A top-down 32-bit DIB section selected into a memory context, pre-filled with one colour.
struct Canvas {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    uint32_t* bits = nullptr;
    int width;
    int height;

    Canvas(int w, int h, COLORREF fill = kCanvasColor) : width(w), height(h) {
        BITMAPINFO info = {};
        info.bmiHeader = {sizeof(info.bmiHeader), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* pixels = nullptr;
        bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
        bits = static_cast<uint32_t*>(pixels);
        dc = CreateCompatibleDC(nullptr);
        previous = SelectObject(dc, bitmap);
        Fill(fill);
    }
    ~Canvas() {
        SelectObject(dc, previous);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    void Fill(COLORREF color) { std::fill_n(bits, width * height, Packed(color)); }
    COLORREF At(int x, int y) const {
        GdiFlush();
        uint32_t value = bits[y * width + x];
        return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
    }
    int CountOf(COLORREF color) const {
        GdiFlush();
        return std::count_if(bits, bits + width * height,
                             [&](uint32_t v) { return (v & 0xFFFFFF) == Packed(color); });
    }
};

std::string Describe(COLORREF color) {
    return "(" + std::to_string(GetRValue(color)) + "," + std::to_string(GetGValue(color)) + "," +
           std::to_string(GetBValue(color)) + ")";
}

// Compares colours in readable form, naming the pixel that failed.
#define EXPECT_PIXEL(canvas, x, y, color)                       \
    EXPECT_EQ(Describe((canvas).At((x), (y))), Describe(color)) \
        << "at (" << (x) << "," << (y) << ")"

struct Px {
    int x;
    int y;
    COLORREF color;
};

template <size_t N>
void ExpectPixels(const Canvas& canvas, const Px (&pixels)[N]) {
    for (const Px& p : pixels)
        EXPECT_PIXEL(canvas, p.x, p.y, p.color);
}

// Colours at consecutive pixels from (x, y) in steps of (dx, dy).
void ExpectRun(const Canvas& canvas, int x, int y, int dx, int dy,
               std::initializer_list<COLORREF> colors) {
    for (COLORREF color : colors) {
        EXPECT_PIXEL(canvas, x, y, color);
        x += dx;
        y += dy;
    }
}

COLORREF Row(int k, int h, COLORREF top, COLORREF bottom) {
    return GradientRowColor(k, h, top, bottom);
}

// The objects a drawing call must leave selected: it selects them back before deleting its own.
std::array<HGDIOBJ, 3> Selected(HDC dc) {
    return {GetCurrentObject(dc, OBJ_PEN), GetCurrentObject(dc, OBJ_BRUSH),
            GetCurrentObject(dc, OBJ_FONT)};
}

bool HasClipRegion(HDC dc) {
    HRGN probe = CreateRectRgn(0, 0, 0, 0);
    int result = GetClipRgn(dc, probe);
    DeleteObject(probe);
    return result == 1;
}

TEST(GradientFillTest, RowsFollowTheTruncatedStepsAndStopOneShort) {
    Canvas canvas(40, 20);
    FillVerticalGradient(canvas.dc, 10, 10, 30, 14, RGB(0, 255, 10), RGB(255, 0, 10));
    const int rising[] = {0, 63, 127, 191};
    const int falling[] = {255, 192, 128, 64};
    for (int k = 0; k < 4; ++k) {
        COLORREF expected = RGB(rising[k], falling[k], 10);
        ExpectRun(canvas, 9, 10 + k, 1, 0, {kCanvasColor, expected});
        ExpectRun(canvas, 29, 10 + k, 1, 0, {expected, kCanvasColor});
    }
    const Px expected[] = {{20, 9, kCanvasColor}, {20, 14, kCanvasColor}};
    ExpectPixels(canvas, expected);
}

TEST(GradientFillTest, OneRowIsTopColourAndEmptyRectanglesDrawNothing) {
    Canvas canvas(30, 30);
    FillVerticalGradient(canvas.dc, 2, 5, 20, 6, RGB(9, 99, 199), RGB(200, 0, 0));
    const Px expected[] = {{2, 5, RGB(9, 99, 199)}, {19, 5, RGB(9, 99, 199)}};
    ExpectPixels(canvas, expected);
    EXPECT_EQ(canvas.CountOf(kCanvasColor), 30 * 30 - 18);

    canvas.Fill(kCanvasColor);
    FillVerticalGradient(canvas.dc, 2, 10, 20, 10, RGB(200, 0, 0), RGB(0, 0, 200));
    FillVerticalGradient(canvas.dc, 2, 12, 20, 8, RGB(200, 0, 0), RGB(0, 0, 200));
    FillVerticalGradient(canvas.dc, 7, 2, 7, 25, RGB(200, 0, 0), RGB(0, 0, 200));
    EXPECT_EQ(canvas.CountOf(kCanvasColor), 30 * 30);
}

TEST(OuterGlowTest, ThreeOutlinesFanOutDownAndSideways) {
    Canvas canvas(540, 440);
    const auto before = Selected(canvas.dc);
    DrawOuterGlow(canvas.dc, 30, 150, 500, 400, 18);
    EXPECT_EQ(Selected(canvas.dc), before);

    const COLORREF outer = RGB(18, 18, 21), middle = RGB(14, 14, 17), inner = RGB(10, 10, 13);
    // Sides away from the rounded corners; tops sit below the rectangle's top, bottoms two
    // rows below its bottom.
    for (int y : {180, 275, 370}) {
        ExpectRun(canvas, 26, y, 1, 0, {kCanvasColor, outer, middle, inner, kCanvasColor});
        ExpectRun(canvas, 499, y, 1, 0, {kCanvasColor, inner, middle, outer, kCanvasColor});
    }
    for (int x : {60, 265, 470}) {
        ExpectRun(canvas, x, 151, 0, 1, {kCanvasColor, inner, middle, outer, kCanvasColor});
        ExpectRun(canvas, x, 401, 0, 1, {kCanvasColor, inner, middle, outer, kCanvasColor});
    }
    EXPECT_PIXEL(canvas, 265, 275, kCanvasColor);  // outlines only
}

TEST(RoundedPanelTest, BorderAndFillClippedToTheCornersThenTheCallersContextBack) {
    Canvas canvas(240, 140);
    const COLORREF top = RGB(200, 100, 0), bottom = RGB(100, 0, 200), border = RGB(120, 96, 44);
    HPEN ownPen = CreatePen(PS_SOLID, 3, RGB(1, 1, 1));
    HBRUSH ownBrush = CreateSolidBrush(RGB(2, 2, 2));
    SelectObject(canvas.dc, ownPen);
    SelectObject(canvas.dc, ownBrush);
    // The panel's own clip replaces the caller's, so it is drawn in full.
    HRGN callerClip = CreateRectRgn(0, 0, 10, 10);
    SelectClipRgn(canvas.dc, callerClip);
    DeleteObject(callerClip);
    const auto before = Selected(canvas.dc);

    FillRoundedPanel(canvas.dc, 20, 20, 220, 120, 40, top, bottom, border);
    EXPECT_FALSE(HasClipRegion(canvas.dc));
    EXPECT_EQ(Selected(canvas.dc), before);
    SelectObject(canvas.dc, GetStockObject(BLACK_PEN));
    SelectObject(canvas.dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(ownPen);
    DeleteObject(ownBrush);

    for (int i = 0; i < 3; ++i) {
        const int x = 70 + 50 * i, y = 50 + 20 * i;
        ExpectRun(canvas, x, 19, 0, 1, {kCanvasColor, border});
        ExpectRun(canvas, x, 119, 0, 1, {border, kCanvasColor});
        ExpectRun(canvas, 19, y, 1, 0, {kCanvasColor, border});
        ExpectRun(canvas, 219, y, 1, 0, {border, kCanvasColor});
    }
    // Inside, every row carries its gradient step, right up to the border.
    for (int y = 21; y < 119; ++y)
        EXPECT_PIXEL(canvas, 120, y, Row(y - 20, 100, top, bottom));
    for (int y = 45; y <= 95; ++y) {
        EXPECT_PIXEL(canvas, 21, y, Row(y - 20, 100, top, bottom));
        EXPECT_PIXEL(canvas, 218, y, Row(y - 20, 100, top, bottom));
    }
    // The corners (radius 20) lie outside the clip region.
    for (POINT p : {POINT{22, 22}, POINT{217, 22}, POINT{22, 117}, POINT{217, 117}})
        EXPECT_PIXEL(canvas, p.x, p.y, kCanvasColor);
}

TEST(GlyphTest, GearSpokesEndWhereTheTruncatedTableSays) {
    Canvas canvas(60, 60);
    const COLORREF ink = RGB(250, 250, 250);
    GlyphGear(canvas.dc, 30, 30, 7, ink);
    // Last inked pixel and the first clear one along each spoke. Spoke 0 ends at +10, spoke 2
    // at +9; a two-pixel pen also covers the pixel before a point, so the spokes ending at -9
    // reach -10. Diagonals end at (7, 7) and (-7, -7).
    const Px expected[] = {{40, 30, ink},          {41, 30, kCanvasColor}, {30, 39, ink},
                           {30, 40, kCanvasColor}, {20, 30, ink},          {19, 30, kCanvasColor},
                           {30, 20, ink},          {30, 19, kCanvasColor}, {37, 37, ink},
                           {38, 38, kCanvasColor}, {22, 22, ink},          {21, 21, kCanvasColor}};
    ExpectPixels(canvas, expected);
    // Nothing reaches 12 to 15 pixels out.
    for (POINT step : {POINT{1, 0}, POINT{-1, 0}, POINT{0, 1}, POINT{0, -1}, POINT{1, 1}}) {
        ExpectRun(canvas, 30 + 12 * step.x, 30 + 12 * step.y, step.x, step.y,
                  {kCanvasColor, kCanvasColor, kCanvasColor, kCanvasColor});
    }
}

TEST(GlyphTest, DiscordEyesKeepTheirOwnColour) {
    Canvas canvas(60, 60);
    const COLORREF eyes = RGB(20, 26, 44);
    for (COLORREF face : {RGB(214, 222, 240), RGB(244, 204, 120), eyes}) {
        canvas.Fill(kCanvasColor);
        GlyphDiscord(canvas.dc, 30, 30, 10, face);
        const Px expected[] = {{26, 31, eyes}, {34, 31, eyes}, {30, 31, face},
                               {30, 36, face}, {22, 30, face}, {30, 21, kCanvasColor}};
        ExpectPixels(canvas, expected);
    }
}

TEST(GlyphTest, EveryGlyphDrawsInItsColourAndRestoresTheContext) {
    Canvas canvas(60, 60);
    const COLORREF ink = RGB(77, 166, 255);
    for (GlyphProc glyph : {GlyphClose, GlyphMinimize, GlyphGear, GlyphAddUser, GlyphDiscord,
                            GlyphGlobe, GlyphLetterF, GlyphCamera}) {
        canvas.Fill(kCanvasColor);
        SetTextColor(canvas.dc, RGB(1, 1, 1));
        SetBkMode(canvas.dc, OPAQUE);
        const auto before = Selected(canvas.dc);
        glyph(canvas.dc, 30, 30, 10, ink);
        EXPECT_EQ(Selected(canvas.dc), before);
        EXPECT_FALSE(HasClipRegion(canvas.dc));
        if (glyph != GlyphLetterF) {
            // The letter's pixels belong to a substituted font under Wine; the rest are vectors.
            EXPECT_GT(canvas.CountOf(ink), 10);
            EXPECT_EQ(GetTextColor(canvas.dc), RGB(1, 1, 1));
            EXPECT_EQ(GetBkMode(canvas.dc), OPAQUE);
        }
        // Nothing strays outside the glyph's box of about 2r around the centre.
        for (int i = 0; i < 60; ++i) {
            for (POINT p : {POINT{i, 2}, POINT{i, 57}, POINT{2, i}, POINT{57, i}})
                EXPECT_PIXEL(canvas, p.x, p.y, kCanvasColor);
        }
    }
    GlyphLetterF(canvas.dc, 30, 30, 10, ink);
    EXPECT_EQ(GetTextColor(canvas.dc), ink);
    EXPECT_EQ(GetBkMode(canvas.dc), TRANSPARENT);
}

const COLORREF kTrackBorder = RGB(56, 66, 96);
const COLORREF kTrackInside = Row(3, 7, RGB(30, 36, 54), RGB(22, 27, 42));
COLORREF PanelRow(int y) {
    return Row(y - 150, 250, RGB(26, 32, 52), RGB(17, 21, 36));
}
COLORREF FillRow(int k) {
    return Row(k, 5, RGB(252, 214, 120), RGB(224, 170, 66));
}

// Publishes `count` items, those at odd positions without a body when `someBodies` is set.
void PublishNews(int count, bool someBodies = false) {
    for (int i = 0; i < count; ++i) {
        NewsItem& item = gState.newsItems[i];
        memset(&item, 0, sizeof(item));
        strcpy(item.tag, "EVENT");
        strcpy(item.title, "Double drop");
        strcpy(item.body, someBodies && i % 2 ? "" : "All weekend & more");
    }
    gState.newsCount.store(count, std::memory_order_release);
}

// A real window whose WM_PAINT goes to PaintMainWindow.
LRESULT CALLBACK PaintingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PaintMainWindow(window);
        return 0;
    }
    return message == WM_ERASEBKGND ? 1 : DefWindowProcA(window, message, wParam, lParam);
}

HWND MakePaintingWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = PaintingWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "SkhRenderTestWindow";
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, "SkhRenderTestWindow", "render", WS_POPUP, 0, 0, kWindowWidth,
                           kWindowHeight, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

HWND MakeChildButton(HWND parent, int id, int left, int top, int width, int height) {
    return CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, left, top, width,
                           height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleA(nullptr), nullptr);
}

class FrameTest : public ::testing::Test {
protected:
    Canvas frame{kWindowWidth, kWindowHeight};
    void SetUp() override {
        ResetLauncherForRun(MakeGameDir("render"));
        gState.backgroundBitmap = nullptr;
    }
    void TearDown() override {
        gState.newsCount.store(-1);
        gState.progressPercent.store(0);
        gState.patchFinished.store(0);
    }
    void Compose() { ComposeFrame(frame.dc); }
    // Pixels in a band that differ from the news panel's plain gradient.
    int InkedPixels(int left, int top, int right, int bottom) {
        int inked = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x)
                inked += frame.At(x, y) != PanelRow(y);
        }
        return inked;
    }
};

TEST_F(FrameTest, BackgroundPictureIsCopiedFirstOrTheWindowColourShows) {
    Compose();
    const Px plain[] = {{600, 100, kWindowColor}, {0, 0, kWindowColor}, {819, 519, kWindowColor}};
    ExpectPixels(frame, plain);

    Canvas picture(kWindowWidth, kWindowHeight, RGB(90, 60, 30));
    SelectObject(picture.dc, picture.previous);
    gState.backgroundBitmap = picture.bitmap;
    Compose();
    gState.backgroundBitmap = nullptr;
    SelectObject(picture.dc, picture.bitmap);
    const Px copied[] = {{600, 100, RGB(90, 60, 30)}, {819, 519, RGB(90, 60, 30)}};
    ExpectPixels(frame, copied);
}

TEST_F(FrameTest, NewsPanelHeaderAccentBarAndSideBarBackdrop) {
    Compose();
    const COLORREF edge = RGB(70, 84, 124), gold = RGB(246, 204, 110);
    const COLORREF headerTop = RGB(48, 40, 22), headerBottom = RGB(30, 26, 18);
    for (int i = 0; i < 3; ++i) {
        const int x = 100 + 175 * i, y = 220 + 80 * i;
        const Px edges[] = {{x, 150, edge}, {x, 399, edge}, {30, y, edge}, {499, y, edge}};
        ExpectPixels(frame, edges);
        EXPECT_PIXEL(frame, 498, y, PanelRow(y));
    }
    // The header band's gradient covers rows 151..189, then the panel's own shows again.
    for (int y = 151; y < 190; ++y)
        EXPECT_PIXEL(frame, 450, y, Row(y - 151, 39, headerTop, headerBottom));
    // Then the accent bar, the glow's bottom outlines two to four rows under the panel, and
    // the side bar, whose round region leaves out its last row as it does its last column.
    const COLORREF header19 = Row(19, 39, headerTop, headerBottom);
    const COLORREF header29 = Row(29, 39, headerTop, headerBottom), panel190 = PanelRow(190);
    const COLORREF glowInner = RGB(10, 10, 13), glowOuter = RGB(18, 18, 21);
    const Px pixels[] = {
        {450, 190, panel190},      {46, 162, gold},           {49, 179, gold},
        {50, 170, header19},       {46, 180, header29},       {265, 400, kWindowColor},
        {265, 402, glowInner},     {265, 404, glowOuter},     {800, 200, kSideBackdrop},
        {739, 200, kSideBackdrop}, {737, 200, kWindowColor},  {800, 59, kWindowColor},
        {800, 60, kSideBackdrop},  {800, 428, kSideBackdrop}, {800, 429, kWindowColor},
        {739, 61, kWindowColor},   {739, 427, kWindowColor},  {819, 60, kSideBackdrop},
        {819, 428, kSideBackdrop}, {738, 64, kSideLine},      {738, 423, kSideLine},
        {738, 63, kWindowColor}};
    ExpectPixels(frame, pixels);
}

TEST_F(FrameTest, ProgressFillWidthsStayInsideTheTrack) {
    const int cases[][2] = {{1, 6}, {50, 337}, {100, 674}, {185, 674}};  // percent, width
    for (const auto& c : cases) {
        const int width = c[1];
        SCOPED_TRACE(c[0]);
        gState.progressPercent.store(c[0]);
        Compose();
        for (int y = 481; y < 486; ++y)
            EXPECT_PIXEL(frame, 31 + width / 2, y, FillRow(y - 481));
        const COLORREF fill = FillRow(2), past = width == 674 ? kTrackBorder : kTrackInside;
        const Px pixels[] = {{31, 483, fill},          {30 + width, 483, fill},
                             {31 + width, 483, past},  {31 + width / 2, 486, kTrackBorder},
                             {706, 483, kWindowColor}, {720, 483, kWindowColor}};
        ExpectPixels(frame, pixels);
    }
    for (int percent : {0, -7}) {
        gState.progressPercent.store(percent);
        Compose();
        ExpectRun(frame, 30, 483, 1, 0, {kTrackBorder, kTrackInside});
        ExpectRun(frame, 300, 480, 0, 3, {kTrackBorder, kTrackInside});
    }
}

TEST_F(FrameTest, LoadingShowsOneLineWelcomeTwoAndNoRows) {
    Compose();
    EXPECT_GT(InkedPixels(50, 202, 482, 224), 0);
    EXPECT_EQ(InkedPixels(40, 226, 490, 396), 0);

    PublishNews(0);
    Compose();
    EXPECT_GT(InkedPixels(50, 202, 482, 224), 0);
    EXPECT_GT(InkedPixels(50, 228, 482, 250), 0);
    EXPECT_EQ(InkedPixels(40, 252, 490, 396), 0);
}

TEST_F(FrameTest, FiveRowsWithBodiesAndSeparatorsBetweenThem) {
    PublishNews(5);
    Compose();
    for (int top : {202, 242, 282, 322, 362})
        ExpectRun(frame, 79, top - 1, 0, 1, {PanelRow(top - 1), kPillBorder});
    for (int y : {236, 276, 316, 356}) {
        ExpectRun(frame, 49, y, 1, 0, {PanelRow(y), kSeparator});
        ExpectRun(frame, 481, y, 1, 0, {kSeparator, PanelRow(y)});
    }
    // No separator under the fifth row, and nothing below or beside the rows.
    EXPECT_EQ(InkedPixels(40, 396, 490, 398), 0);
    EXPECT_EQ(InkedPixels(484, 200, 490, 398), 0);
}

const UINT kSideButtons[] = {IDC_WEBSITE, IDC_REGISTER, IDC_DISCORD, IDC_FACEBOOK, IDC_INSTAGRAM};

BOOL DrawFace(Canvas& canvas, UINT id, bool pressed, HWND button = nullptr) {
    canvas.Fill(kCanvasColor);
    const UINT state = pressed ? ODS_SELECTED : 0;
    DRAWITEMSTRUCT item = {ODT_BUTTON, id,     0,         ODA_DRAWENTIRE,
                           state,      button, canvas.dc, {0, 0, canvas.width, canvas.height},
                           0};
    const auto before = Selected(canvas.dc);
    BOOL result = DrawButtonItem(&item);
    EXPECT_EQ(Selected(canvas.dc), before) << "face " << id;
    EXPECT_FALSE(HasClipRegion(canvas.dc)) << "face " << id;
    return result;
}

using ButtonFaceTest = FrameTest;

TEST_F(ButtonFaceTest, CaptionButtonsShowTheirGlyphAndARoundedBackingWhenPressed) {
    const COLORREF releasedGlyph = RGB(210, 218, 238), pressedGlyph = RGB(255, 240, 240);
    struct Case {
        UINT id;
        COLORREF top, bottom;
        POINT ink;
    };
    const Case cases[] = {
        {IDC_CLOSE, RGB(150, 52, 52), RGB(120, 40, 40), {13, 13}},
        {IDC_SETUP, RGB(52, 60, 84), RGB(40, 46, 66), {21, 13}},
        {IDC_MINIMIZE, RGB(52, 60, 84), RGB(40, 46, 66), {13, 17}},
    };
    Canvas canvas(26, 26);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        // Released: the glyph on nothing at all.
        EXPECT_TRUE(DrawFace(canvas, c.id, false));
        EXPECT_GT(canvas.CountOf(releasedGlyph), 10);
        EXPECT_EQ(canvas.CountOf(releasedGlyph) + canvas.CountOf(kCanvasColor), 26 * 26);
        // Pressed: a borderless gradient with rounded corners.
        EXPECT_TRUE(DrawFace(canvas, c.id, true));
        for (int y : {0, 2, 25})
            EXPECT_PIXEL(canvas, 13, y, Row(y, 26, c.top, c.bottom));
        for (int x : {0, 25})
            EXPECT_PIXEL(canvas, x, 13, Row(13, 26, c.top, c.bottom));
        ExpectRun(canvas, 0, 0, 25, 25, {kCanvasColor, kCanvasColor});
        EXPECT_PIXEL(canvas, c.ink.x, c.ink.y, pressedGlyph);
        EXPECT_GT(canvas.CountOf(pressedGlyph), 10);
    }
}

TEST_F(ButtonFaceTest, SideButtonsShowGlyphAndLabelOnAGoldBorderedPanelWhenPressed) {
    const COLORREF released = RGB(214, 222, 240), pressed = RGB(244, 204, 120);
    const COLORREF middle = Row(31, 62, RGB(38, 44, 66), RGB(28, 33, 52));
    Canvas canvas(78, 70);
    for (UINT id : kSideButtons) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(DrawFace(canvas, id, false));
        const Px bare[] = {{10, 35, kCanvasColor}, {39, 4, kCanvasColor}, {6, 35, kCanvasColor}};
        ExpectPixels(canvas, bare);
        EXPECT_GT(canvas.CountOf(released), 10);

        EXPECT_TRUE(DrawFace(canvas, id, true));
        ExpectRun(canvas, 39, 3, 0, 1, {kCanvasColor, kPillBorder});
        ExpectRun(canvas, 5, 35, 1, 0, {kCanvasColor, kPillBorder});
        ExpectRun(canvas, 71, 35, 1, 0, {kPillBorder, kCanvasColor});
        const Px panel[] = {
            {10, 35, middle}, {67, 35, middle}, {6, 4, kCanvasColor}, {0, 0, kCanvasColor}};
        ExpectPixels(canvas, panel);
        EXPECT_GT(canvas.CountOf(pressed), 10);
    }
    DrawFace(canvas, IDC_WEBSITE, false);
    EXPECT_PIXEL(canvas, 35, 22, released);
    DrawFace(canvas, IDC_WEBSITE, true);
    EXPECT_PIXEL(canvas, 35, 22, pressed);
}

TEST_F(ButtonFaceTest, PlayButtonWaitsInGreyThenTurnsGolden) {
    const COLORREF grey = RGB(90, 98, 120), gold = RGB(150, 110, 40);
    struct Case {
        int finished;
        bool pressed;
        COLORREF border, top, bottom;
    };
    const Case cases[] = {
        {0, false, grey, RGB(64, 70, 88), RGB(46, 52, 68)},
        {0, true, grey, RGB(64, 70, 88), RGB(46, 52, 68)},
        {1, false, gold, RGB(255, 214, 110), RGB(222, 168, 64)},
        {1, true, gold, RGB(232, 182, 86), RGB(198, 150, 58)},
    };
    Canvas canvas(180, 62);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "finished " << c.finished << " pressed " << c.pressed);
        gState.patchFinished.store(c.finished);
        EXPECT_TRUE(DrawFace(canvas, IDC_PLAY, c.pressed));
        const COLORREF row31 = Row(31, 62, c.top, c.bottom), row50 = Row(50, 62, c.top, c.bottom);
        const Px pixels[] = {{90, 0, c.border},   {0, 31, c.border}, {179, 31, c.border},
                             {90, 61, c.border},  {10, 31, row31},   {170, 50, row50},
                             {0, 0, kCanvasColor}};
        ExpectPixels(canvas, pixels);
        // Only the ready button has the highlight line, from x = 14 to 165 on row 3.
        const COLORREF row3 = Row(3, 62, c.top, c.bottom);
        const COLORREF line = c.finished ? RGB(255, 236, 170) : row3;
        ExpectRun(canvas, 13, 3, 1, 0, {row3, line});
        ExpectRun(canvas, 165, 3, 1, 0, {line, row3});
        EXPECT_PIXEL(canvas, 90, 3, line);
    }
}

TEST_F(ButtonFaceTest, FacesStandOnThePieceOfTheFrameBehindThem) {
    HWND parent = MakePaintingWindow();
    HWND website = MakeChildButton(parent, IDC_WEBSITE, 738, 74, 78, 70);
    HWND play = MakeChildButton(parent, IDC_PLAY, 532, 412, 180, 62);
    Canvas side(78, 70), golden(180, 62);
    DrawFace(side, IDC_WEBSITE, false, website);
    gState.patchFinished.store(1);
    DrawFace(golden, IDC_PLAY, false, play);
    DestroyWindow(parent);
    // The side-bar line runs down the button's first column, the backdrop fills the rest.
    const Px onSide[] = {{0, 35, kSideLine},
                         {1, 35, kSideBackdrop},
                         {10, 35, kSideBackdrop},
                         {77, 69, kSideBackdrop},
                         {35, 22, RGB(214, 222, 240)}};
    ExpectPixels(side, onSide);
    EXPECT_PIXEL(golden, 0, 0, kWindowColor);
    EXPECT_PIXEL(golden, 10, 31, Row(31, 62, RGB(255, 214, 110), RGB(222, 168, 64)));
}

TEST_F(FrameTest, GdiBalanceFramesAndFacesDeleteEverythingTheyCreate) {
    // Wine's GetGuiResources reports 0 objects whatever a process holds, so the test build
    // counts every creation and successful deletion made through render/gdi_objects_win.
    HWND window = MakePaintingWindow();
    ShowWindow(window, SW_SHOWNOACTIVATE);
    // Real children, so that the faces also compose the frame behind them.
    HWND caption = MakeChildButton(window, IDC_SETUP, 748, 14, 26, 26);
    HWND side = MakeChildButton(window, IDC_DISCORD, 738, 214, 78, 70);
    HWND play = MakeChildButton(window, IDC_PLAY, 532, 412, 180, 62);
    Canvas captionFace(26, 26), sideFace(78, 70), playFace(180, 62);

    GdiTally before = ReadGdiTally();
    for (int i = 0; i < 300; ++i) {
        gState.newsCount.store(i % 3 == 0 ? -1 : 0);
        if (i % 3 == 2)
            PublishNews(1 + i % 5, true);
        gState.progressPercent.store(i % 120);
        gState.patchFinished.store(i % 2);
        Compose();
        if (i % 10 == 0) {
            InvalidateRect(window, nullptr, FALSE);
            UpdateWindow(window);
        }
        const bool pressed = i % 4 < 2, child = i % 5 == 0;
        for (UINT id : {IDC_CLOSE, IDC_SETUP, IDC_MINIMIZE})
            DrawFace(captionFace, id, pressed, child ? caption : nullptr);
        for (UINT id : kSideButtons)
            DrawFace(sideFace, id, pressed, child ? side : nullptr);
        DrawFace(playFace, IDC_PLAY, pressed, child ? play : nullptr);
    }
    GdiTally after = ReadGdiTally();
    DestroyWindow(window);

    long created = after.created - before.created;
    // Hundreds of gradient rows per frame: the tally must have seen real work.
    EXPECT_GT(created, 300L * 500);
    EXPECT_EQ(created, after.deleted - before.deleted);
}

}  // namespace
