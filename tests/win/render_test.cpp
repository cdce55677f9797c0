// Pixels of the primitives, glyphs, composed frame and button faces, read back from DIBs.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <string>

#include "app/launcher_state.h"
#include "patch/http.h"
#include "render/button_faces.h"
#include "render/gdi_objects_win.h"
#include "render/glyphs.h"
#include "render/gradient.h"
#include "render/paint.h"
#include "render/primitives.h"
#include "support/test_support.h"

namespace {

constexpr COLORREF kCanvasColor = RGB(1, 2, 3);

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
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
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

    void Fill(COLORREF color) {
        uint32_t value = (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
        for (int i = 0; i < width * height; ++i)
            bits[i] = value;
    }
    COLORREF At(int x, int y) const {
        GdiFlush();
        uint32_t value = bits[y * width + x];
        return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
    }
    int CountOf(COLORREF color) const {
        int count = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                count += At(x, y) == color;
        }
        return count;
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

COLORREF Row(int k, int h, COLORREF top, COLORREF bottom) {
    return GradientRowColor(k, h, top, bottom);
}

// The objects a drawing call must leave selected: it selects them back before deleting its own.
struct SelectedSnapshot {
    HGDIOBJ pen;
    HGDIOBJ brush;
    HGDIOBJ font;
    explicit SelectedSnapshot(HDC dc)
        : pen(GetCurrentObject(dc, OBJ_PEN)),
          brush(GetCurrentObject(dc, OBJ_BRUSH)),
          font(GetCurrentObject(dc, OBJ_FONT)) {}
    bool operator==(const SelectedSnapshot& other) const {
        return pen == other.pen && brush == other.brush && font == other.font;
    }
};

bool HasClipRegion(HDC dc) {
    HRGN probe = CreateRectRgn(0, 0, 0, 0);
    int result = GetClipRgn(dc, probe);
    DeleteObject(probe);
    return result == 1;
}

// --- FillVerticalGradient --------------------------------------------------------------------

TEST(GradientFillTest, RowsFollowTheTruncatedStepsAndStopOneShort) {
    Canvas canvas(40, 20);
    FillVerticalGradient(canvas.dc, 10, 10, 30, 14, RGB(0, 255, 10), RGB(255, 0, 10));
    const int rising[] = {0, 63, 127, 191};
    const int falling[] = {255, 192, 128, 64};
    for (int k = 0; k < 4; ++k) {
        COLORREF expected = RGB(rising[k], falling[k], 10);
        EXPECT_PIXEL(canvas, 10, 10 + k, expected);
        EXPECT_PIXEL(canvas, 29, 10 + k, expected);
        EXPECT_PIXEL(canvas, 9, 10 + k, kCanvasColor);
        EXPECT_PIXEL(canvas, 30, 10 + k, kCanvasColor);
    }
    EXPECT_PIXEL(canvas, 20, 9, kCanvasColor);
    EXPECT_PIXEL(canvas, 20, 14, kCanvasColor);
}

TEST(GradientFillTest, OneRowIsTopColourAndEmptyRectanglesDrawNothing) {
    Canvas canvas(30, 30);
    FillVerticalGradient(canvas.dc, 2, 5, 20, 6, RGB(9, 99, 199), RGB(200, 0, 0));
    EXPECT_PIXEL(canvas, 2, 5, RGB(9, 99, 199));
    EXPECT_PIXEL(canvas, 19, 5, RGB(9, 99, 199));
    EXPECT_EQ(canvas.CountOf(kCanvasColor), 30 * 30 - 18);

    canvas.Fill(kCanvasColor);
    FillVerticalGradient(canvas.dc, 2, 10, 20, 10, RGB(200, 0, 0), RGB(0, 0, 200));
    FillVerticalGradient(canvas.dc, 2, 12, 20, 8, RGB(200, 0, 0), RGB(0, 0, 200));
    FillVerticalGradient(canvas.dc, 7, 2, 7, 25, RGB(200, 0, 0), RGB(0, 0, 200));
    EXPECT_EQ(canvas.CountOf(kCanvasColor), 30 * 30);
}

// --- DrawOuterGlow ---------------------------------------------------------------------------

TEST(OuterGlowTest, ThreeOutlinesFanOutDownAndSideways) {
    Canvas canvas(540, 440);
    SelectedSnapshot before(canvas.dc);
    DrawOuterGlow(canvas.dc, 30, 150, 500, 400, 18);
    EXPECT_TRUE(SelectedSnapshot(canvas.dc) == before);

    const COLORREF outer = RGB(18, 18, 21);
    const COLORREF middle = RGB(14, 14, 17);
    const COLORREF inner = RGB(10, 10, 13);
    // Left and right sides, away from the rounded corners.
    for (int y : {180, 275, 370}) {
        EXPECT_PIXEL(canvas, 26, y, kCanvasColor);
        EXPECT_PIXEL(canvas, 27, y, outer);
        EXPECT_PIXEL(canvas, 28, y, middle);
        EXPECT_PIXEL(canvas, 29, y, inner);
        EXPECT_PIXEL(canvas, 30, y, kCanvasColor);
        EXPECT_PIXEL(canvas, 499, y, kCanvasColor);
        EXPECT_PIXEL(canvas, 500, y, inner);
        EXPECT_PIXEL(canvas, 501, y, middle);
        EXPECT_PIXEL(canvas, 502, y, outer);
        EXPECT_PIXEL(canvas, 503, y, kCanvasColor);
    }
    // Top edges sit below the rectangle's top, bottom edges two rows below its bottom.
    for (int x : {60, 265, 470}) {
        EXPECT_PIXEL(canvas, x, 151, kCanvasColor);
        EXPECT_PIXEL(canvas, x, 152, inner);
        EXPECT_PIXEL(canvas, x, 153, middle);
        EXPECT_PIXEL(canvas, x, 154, outer);
        EXPECT_PIXEL(canvas, x, 155, kCanvasColor);
        EXPECT_PIXEL(canvas, x, 401, kCanvasColor);
        EXPECT_PIXEL(canvas, x, 402, inner);
        EXPECT_PIXEL(canvas, x, 403, middle);
        EXPECT_PIXEL(canvas, x, 404, outer);
        EXPECT_PIXEL(canvas, x, 405, kCanvasColor);
    }
    // Outlines only: the inside is not filled.
    EXPECT_PIXEL(canvas, 265, 275, kCanvasColor);
}

// --- FillRoundedPanel ------------------------------------------------------------------------

TEST(RoundedPanelTest, BorderOnTheEdgesAndFillClippedToTheCorners) {
    Canvas canvas(240, 140);
    const COLORREF top = RGB(200, 100, 0);
    const COLORREF bottom = RGB(100, 0, 200);
    const COLORREF border = RGB(120, 96, 44);
    FillRoundedPanel(canvas.dc, 20, 20, 220, 120, 40, top, bottom, border);

    for (int x : {70, 120, 170}) {
        EXPECT_PIXEL(canvas, x, 19, kCanvasColor);
        EXPECT_PIXEL(canvas, x, 20, border);
        EXPECT_PIXEL(canvas, x, 119, border);
        EXPECT_PIXEL(canvas, x, 120, kCanvasColor);
    }
    for (int y : {50, 70, 90}) {
        EXPECT_PIXEL(canvas, 19, y, kCanvasColor);
        EXPECT_PIXEL(canvas, 20, y, border);
        EXPECT_PIXEL(canvas, 219, y, border);
        EXPECT_PIXEL(canvas, 220, y, kCanvasColor);
    }
    // Inside, every row carries its gradient step, right up to the border.
    for (int y = 21; y < 119; ++y) {
        EXPECT_PIXEL(canvas, 120, y, Row(y - 20, 100, top, bottom));
    }
    for (int y = 45; y <= 95; ++y) {
        EXPECT_PIXEL(canvas, 21, y, Row(y - 20, 100, top, bottom));
        EXPECT_PIXEL(canvas, 218, y, Row(y - 20, 100, top, bottom));
    }
    // The corners (radius 20) lie outside the clip region and stay untouched.
    for (POINT corner : {POINT{22, 22}, POINT{217, 22}, POINT{22, 117}, POINT{217, 117}})
        EXPECT_PIXEL(canvas, corner.x, corner.y, kCanvasColor);
}

TEST(RoundedPanelTest, LeavesNoClipRegionAndTheCallersPenAndBrush) {
    Canvas canvas(100, 100);
    HPEN own = CreatePen(PS_SOLID, 3, RGB(1, 1, 1));
    HBRUSH ownBrush = CreateSolidBrush(RGB(2, 2, 2));
    SelectObject(canvas.dc, own);
    SelectObject(canvas.dc, ownBrush);
    HRGN callerClip = CreateRectRgn(0, 0, 10, 10);
    SelectClipRgn(canvas.dc, callerClip);
    DeleteObject(callerClip);
    SelectedSnapshot before(canvas.dc);

    FillRoundedPanel(canvas.dc, 10, 10, 90, 90, 12, RGB(0, 0, 0), RGB(255, 255, 255), RGB(9, 9, 9));

    EXPECT_FALSE(HasClipRegion(canvas.dc));
    EXPECT_TRUE(SelectedSnapshot(canvas.dc) == before);
    // The panel's own clip replaced the caller's, so it was drawn in full.
    EXPECT_PIXEL(canvas, 50, 89, RGB(9, 9, 9));
    SelectObject(canvas.dc, GetStockObject(BLACK_PEN));
    SelectObject(canvas.dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(own);
    DeleteObject(ownBrush);
}

// --- Glyphs ----------------------------------------------------------------------------------

const GlyphProc kAllGlyphs[] = {GlyphClose,   GlyphMinimize, GlyphGear,    GlyphAddUser,
                                GlyphDiscord, GlyphGlobe,    GlyphLetterF, GlyphCamera};

TEST(GlyphTest, GearSpokesEndWhereTheTruncatedTableSays) {
    Canvas canvas(60, 60);
    const COLORREF ink = RGB(250, 250, 250);
    GlyphGear(canvas.dc, 30, 30, 7, ink);
    // Spoke 0 ends at +10 and spoke 2 at +9. A two-pixel pen covers the pixel before a point
    // as well as the point, so the spokes ending at -9 (left, up) reach the pixel at -10.
    EXPECT_PIXEL(canvas, 40, 30, ink);
    EXPECT_PIXEL(canvas, 41, 30, kCanvasColor);
    EXPECT_PIXEL(canvas, 30, 39, ink);
    EXPECT_PIXEL(canvas, 30, 40, kCanvasColor);
    EXPECT_PIXEL(canvas, 20, 30, ink);
    EXPECT_PIXEL(canvas, 19, 30, kCanvasColor);
    EXPECT_PIXEL(canvas, 30, 20, ink);
    EXPECT_PIXEL(canvas, 30, 19, kCanvasColor);
    // Diagonal spokes end at (7, 7) and (-7, -7).
    EXPECT_PIXEL(canvas, 37, 37, ink);
    EXPECT_PIXEL(canvas, 38, 38, kCanvasColor);
    EXPECT_PIXEL(canvas, 22, 22, ink);
    EXPECT_PIXEL(canvas, 21, 21, kCanvasColor);
    for (int d = 12; d < 16; ++d) {
        EXPECT_PIXEL(canvas, 30 + d, 30, kCanvasColor);
        EXPECT_PIXEL(canvas, 30 - d, 30, kCanvasColor);
        EXPECT_PIXEL(canvas, 30, 30 + d, kCanvasColor);
        EXPECT_PIXEL(canvas, 30, 30 - d, kCanvasColor);
        EXPECT_PIXEL(canvas, 30 + d, 30 + d, kCanvasColor);
    }
}

TEST(GlyphTest, DiscordEyesKeepTheirOwnColour) {
    Canvas canvas(60, 60);
    for (COLORREF face : {RGB(214, 222, 240), RGB(244, 204, 120), RGB(20, 26, 44)}) {
        canvas.Fill(kCanvasColor);
        GlyphDiscord(canvas.dc, 30, 30, 10, face);
        EXPECT_PIXEL(canvas, 26, 31, RGB(20, 26, 44));
        EXPECT_PIXEL(canvas, 34, 31, RGB(20, 26, 44));
        EXPECT_PIXEL(canvas, 30, 31, face);
        EXPECT_PIXEL(canvas, 30, 36, face);
        EXPECT_PIXEL(canvas, 22, 30, face);
        EXPECT_PIXEL(canvas, 30, 21, kCanvasColor);
    }
}

TEST(GlyphTest, EveryGlyphDrawsInItsColourAndRestoresTheContext) {
    Canvas canvas(60, 60);
    const COLORREF ink = RGB(77, 166, 255);
    for (GlyphProc glyph : kAllGlyphs) {
        canvas.Fill(kCanvasColor);
        SetTextColor(canvas.dc, RGB(1, 1, 1));
        SetBkMode(canvas.dc, OPAQUE);
        SelectedSnapshot before(canvas.dc);
        glyph(canvas.dc, 30, 30, 10, ink);
        EXPECT_TRUE(SelectedSnapshot(canvas.dc) == before);
        EXPECT_FALSE(HasClipRegion(canvas.dc));
        if (glyph != GlyphLetterF) {
            // The letter's pixels belong to a substituted font under Wine; the rest are vectors.
            EXPECT_GT(canvas.CountOf(ink), 10);
            EXPECT_EQ(GetTextColor(canvas.dc), RGB(1, 1, 1));
            EXPECT_EQ(GetBkMode(canvas.dc), OPAQUE);
        }
        // Nothing strays outside the glyph's box of about 2r around the centre.
        for (int i = 0; i < 60; ++i) {
            EXPECT_PIXEL(canvas, i, 2, kCanvasColor);
            EXPECT_PIXEL(canvas, i, 57, kCanvasColor);
            EXPECT_PIXEL(canvas, 2, i, kCanvasColor);
            EXPECT_PIXEL(canvas, 57, i, kCanvasColor);
        }
    }
    GlyphLetterF(canvas.dc, 30, 30, 10, ink);
    EXPECT_EQ(GetTextColor(canvas.dc), ink);
    EXPECT_EQ(GetBkMode(canvas.dc), TRANSPARENT);
}

// --- The composed frame ----------------------------------------------------------------------

const COLORREF kWindowColor = RGB(10, 13, 22);
const COLORREF kPillBorder = RGB(120, 96, 44);
const COLORREF kSeparator = RGB(40, 48, 72);

COLORREF PanelRow(int y) {
    return Row(y - 150, 250, RGB(26, 32, 52), RGB(17, 21, 36));
}

NewsItem MakeItem(const char* tag, const char* title, const char* body) {
    NewsItem item;
    memset(&item, 0, sizeof(item));
    strcpy(item.tag, tag);
    strcpy(item.title, title);
    strcpy(item.body, body);
    return item;
}

void PublishNews(const NewsItem* items, int count) {
    for (int i = 0; i < count; ++i)
        gState.newsItems[i] = items[i];
    gState.newsCount.store(count, std::memory_order_release);
}

void PublishFiveItemsWithBodies() {
    NewsItem items[5];
    for (int i = 0; i < 5; ++i)
        items[i] = MakeItem("EVENT", "Double drop", "All weekend & more");
    PublishNews(items, 5);
}

class FrameTest : public ::testing::Test {
protected:
    Canvas frame{kFrameWidth, kFrameHeight};
    void SetUp() override {
        ResetLauncherForRun(MakeGameDir("render"));
        gState.backgroundBitmap = nullptr;
    }
    void TearDown() override {
        gState.newsCount.store(-1);
        gState.progressPercent.store(0);
    }
    void Compose() { ComposeFrame(frame.dc); }
    // Pixels of the news panel's plain gradient in a band of rows: nothing drawn there.
    int InkedPixels(int left, int top, int right, int bottom) {
        int inked = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x)
                inked += frame.At(x, y) != PanelRow(y);
        }
        return inked;
    }
};

TEST_F(FrameTest, MissingBackgroundShowsTheWindowColour) {
    Compose();
    EXPECT_PIXEL(frame, 600, 100, kWindowColor);
    EXPECT_PIXEL(frame, 0, 0, kWindowColor);
    EXPECT_PIXEL(frame, 819, 519, kWindowColor);
}

TEST_F(FrameTest, BackgroundPictureIsCopiedFirst) {
    Canvas picture(kFrameWidth, kFrameHeight, RGB(90, 60, 30));
    SelectObject(picture.dc, picture.previous);
    gState.backgroundBitmap = picture.bitmap;
    Compose();
    gState.backgroundBitmap = nullptr;
    SelectObject(picture.dc, picture.bitmap);
    EXPECT_PIXEL(frame, 600, 100, RGB(90, 60, 30));
    EXPECT_PIXEL(frame, 819, 519, RGB(90, 60, 30));
}

TEST_F(FrameTest, NewsPanelHeaderAndAccentBar) {
    Compose();
    for (int x : {100, 265, 450}) {
        EXPECT_PIXEL(frame, x, 150, RGB(70, 84, 124));
        EXPECT_PIXEL(frame, x, 399, RGB(70, 84, 124));
    }
    for (int y : {220, 300, 380}) {
        EXPECT_PIXEL(frame, 30, y, RGB(70, 84, 124));
        EXPECT_PIXEL(frame, 499, y, RGB(70, 84, 124));
        EXPECT_PIXEL(frame, 498, y, PanelRow(y));
    }
    // The header band's gradient covers rows 151..189, then the panel's own shows again.
    for (int y = 151; y < 190; ++y)
        EXPECT_PIXEL(frame, 450, y, Row(y - 151, 39, RGB(48, 40, 22), RGB(30, 26, 18)));
    EXPECT_PIXEL(frame, 450, 190, PanelRow(190));
    EXPECT_PIXEL(frame, 46, 162, RGB(246, 204, 110));
    EXPECT_PIXEL(frame, 49, 179, RGB(246, 204, 110));
    EXPECT_PIXEL(frame, 50, 170, Row(19, 39, RGB(48, 40, 22), RGB(30, 26, 18)));
    EXPECT_PIXEL(frame, 46, 180, Row(29, 39, RGB(48, 40, 22), RGB(30, 26, 18)));
    // The glow's bottom outlines, two to four rows under the panel.
    EXPECT_PIXEL(frame, 265, 400, kWindowColor);
    EXPECT_PIXEL(frame, 265, 402, RGB(10, 10, 13));
    EXPECT_PIXEL(frame, 265, 404, RGB(18, 18, 21));
}

TEST_F(FrameTest, SideBarBackdropIsRoundedOnlyOnTheLeft) {
    Compose();
    EXPECT_PIXEL(frame, 800, 200, RGB(14, 18, 30));
    EXPECT_PIXEL(frame, 739, 200, RGB(14, 18, 30));
    EXPECT_PIXEL(frame, 737, 200, kWindowColor);
    EXPECT_PIXEL(frame, 800, 59, kWindowColor);
    EXPECT_PIXEL(frame, 800, 60, RGB(14, 18, 30));
    // A round region leaves out its last row, as it leaves out its last column.
    EXPECT_PIXEL(frame, 800, 428, RGB(14, 18, 30));
    EXPECT_PIXEL(frame, 800, 429, kWindowColor);
    EXPECT_PIXEL(frame, 739, 61, kWindowColor);
    EXPECT_PIXEL(frame, 739, 427, kWindowColor);
    EXPECT_PIXEL(frame, 819, 60, RGB(14, 18, 30));
    EXPECT_PIXEL(frame, 819, 428, RGB(14, 18, 30));
    EXPECT_PIXEL(frame, 738, 64, RGB(60, 72, 104));
    EXPECT_PIXEL(frame, 738, 423, RGB(60, 72, 104));
    EXPECT_PIXEL(frame, 738, 63, kWindowColor);
}

TEST_F(FrameTest, ProgressFillWidthsStayInsideTheTrack) {
    const COLORREF trackBorder = RGB(56, 66, 96);
    const COLORREF trackInside = Row(3, 7, RGB(30, 36, 54), RGB(22, 27, 42));
    const COLORREF fillTop = RGB(252, 214, 120);
    const COLORREF fillBottom = RGB(224, 170, 66);
    struct Case {
        int percent;
        int width;
    };
    for (Case c : {Case{1, 6}, Case{50, 337}, Case{100, 674}, Case{185, 674}}) {
        SCOPED_TRACE(c.percent);
        gState.progressPercent.store(c.percent);
        Compose();
        for (int y = 481; y < 486; ++y) {
            EXPECT_PIXEL(frame, 31 + c.width / 2, y, Row(y - 481, 5, fillTop, fillBottom));
        }
        EXPECT_PIXEL(frame, 31, 483, Row(2, 5, fillTop, fillBottom));
        EXPECT_PIXEL(frame, 30 + c.width, 483, Row(2, 5, fillTop, fillBottom));
        EXPECT_PIXEL(frame, 31 + c.width, 483, c.width == 674 ? trackBorder : trackInside);
        EXPECT_PIXEL(frame, 31 + c.width / 2, 486, trackBorder);
        EXPECT_PIXEL(frame, 706, 483, kWindowColor);
        EXPECT_PIXEL(frame, 720, 483, kWindowColor);
    }
    for (int percent : {0, -7}) {
        gState.progressPercent.store(percent);
        Compose();
        EXPECT_PIXEL(frame, 30, 483, trackBorder);
        EXPECT_PIXEL(frame, 31, 483, trackInside);
        EXPECT_PIXEL(frame, 300, 480, trackBorder);
        EXPECT_PIXEL(frame, 300, 483, trackInside);
    }
}

TEST_F(FrameTest, LoadingShowsOneLineAndNoRows) {
    Compose();
    EXPECT_GT(InkedPixels(50, 202, 482, 224), 0);
    EXPECT_EQ(InkedPixels(40, 226, 490, 396), 0);
}

TEST_F(FrameTest, WelcomeShowsTwoLinesAndNoRows) {
    PublishNews(nullptr, 0);
    Compose();
    EXPECT_GT(InkedPixels(50, 202, 482, 224), 0);
    EXPECT_GT(InkedPixels(50, 228, 482, 250), 0);
    EXPECT_EQ(InkedPixels(40, 252, 490, 396), 0);
}

TEST_F(FrameTest, FiveRowsWithBodiesAndSeparatorsBetweenThem) {
    PublishFiveItemsWithBodies();
    Compose();
    for (int top : {202, 242, 282, 322, 362}) {
        EXPECT_PIXEL(frame, 79, top, kPillBorder);
        EXPECT_PIXEL(frame, 79, top - 1, PanelRow(top - 1));
    }
    for (int y : {236, 276, 316, 356}) {
        EXPECT_PIXEL(frame, 50, y, kSeparator);
        EXPECT_PIXEL(frame, 481, y, kSeparator);
        EXPECT_PIXEL(frame, 49, y, PanelRow(y));
        EXPECT_PIXEL(frame, 482, y, PanelRow(y));
    }
    // No separator under the fifth row, and nothing below it.
    EXPECT_EQ(InkedPixels(40, 396, 490, 398), 0);
    EXPECT_EQ(InkedPixels(484, 200, 490, 398), 0);
}

// A real window whose WM_PAINT goes to PaintMainWindow.
LRESULT CALLBACK PaintingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PaintMainWindow(window);
        return 0;
    }
    if (message == WM_ERASEBKGND)
        return 1;
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakePaintingWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = PaintingWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "SkhRenderTestWindow";
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, "SkhRenderTestWindow", "render", WS_POPUP, 0, 0, kFrameWidth,
                           kFrameHeight, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

TEST_F(FrameTest, PaintMainWindowCopiesTheFrameToTheWindow) {
    gState.progressPercent.store(50);
    HWND window = MakePaintingWindow();
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);
    RECT pending;
    EXPECT_FALSE(GetUpdateRect(window, &pending, FALSE));

    HDC windowContext = GetDC(window);
    BitBlt(frame.dc, 0, 0, kFrameWidth, kFrameHeight, windowContext, 0, 0, SRCCOPY);
    ReleaseDC(window, windowContext);
    DestroyWindow(window);
    EXPECT_PIXEL(frame, 600, 100, kWindowColor);
    EXPECT_PIXEL(frame, 800, 200, RGB(14, 18, 30));
    EXPECT_PIXEL(frame, 200, 483, Row(2, 5, RGB(252, 214, 120), RGB(224, 170, 66)));
    EXPECT_PIXEL(frame, 367, 483, Row(2, 5, RGB(252, 214, 120), RGB(224, 170, 66)));
    EXPECT_PIXEL(frame, 368, 483, Row(3, 7, RGB(30, 36, 54), RGB(22, 27, 42)));
}

// --- Button faces ----------------------------------------------------------------------------

BOOL DrawFace(Canvas& canvas, UINT id, bool pressed, HWND button = nullptr) {
    DRAWITEMSTRUCT item = {};
    item.hwndItem = button;
    item.CtlType = ODT_BUTTON;
    item.CtlID = id;
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = pressed ? ODS_SELECTED : 0;
    item.hDC = canvas.dc;
    item.rcItem = {0, 0, canvas.width, canvas.height};
    SelectedSnapshot before(canvas.dc);
    BOOL result = DrawButtonItem(&item);
    EXPECT_TRUE(SelectedSnapshot(canvas.dc) == before) << "face " << id;
    EXPECT_FALSE(HasClipRegion(canvas.dc)) << "face " << id;
    return result;
}

HWND MakeChildButton(HWND parent, int id, int left, int top, int width, int height) {
    return CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, left, top, width,
                           height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleA(nullptr), nullptr);
}

class ButtonFaceTest : public ::testing::Test {
protected:
    void TearDown() override { gState.patchFinished.store(0); }
};

TEST_F(ButtonFaceTest, CaptionButtonsShowOnlyTheirGlyphWhenReleased) {
    const COLORREF glyph = RGB(210, 218, 238);
    for (UINT id : {IDC_CLOSE, IDC_SETUP, IDC_MINIMIZE}) {
        SCOPED_TRACE(id);
        Canvas canvas(26, 26);
        EXPECT_TRUE(DrawFace(canvas, id, false));
        EXPECT_GT(canvas.CountOf(glyph), 10);
        EXPECT_EQ(canvas.CountOf(glyph) + canvas.CountOf(kCanvasColor), 26 * 26);
    }
}

TEST_F(ButtonFaceTest, CaptionButtonsGetARoundedBackingWhenPressed) {
    const COLORREF glyph = RGB(255, 240, 240);
    struct Case {
        UINT id;
        COLORREF top;
        COLORREF bottom;
        POINT ink;
    };
    const Case cases[] = {
        {IDC_CLOSE, RGB(150, 52, 52), RGB(120, 40, 40), {13, 13}},
        {IDC_SETUP, RGB(52, 60, 84), RGB(40, 46, 66), {21, 13}},
        {IDC_MINIMIZE, RGB(52, 60, 84), RGB(40, 46, 66), {13, 17}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        Canvas canvas(26, 26);
        EXPECT_TRUE(DrawFace(canvas, c.id, true));
        EXPECT_PIXEL(canvas, 13, 0, Row(0, 26, c.top, c.bottom));
        EXPECT_PIXEL(canvas, 13, 2, Row(2, 26, c.top, c.bottom));
        EXPECT_PIXEL(canvas, 0, 13, Row(13, 26, c.top, c.bottom));
        EXPECT_PIXEL(canvas, 25, 13, Row(13, 26, c.top, c.bottom));
        EXPECT_PIXEL(canvas, 13, 25, Row(25, 26, c.top, c.bottom));
        // Rounded corners, and no border.
        EXPECT_PIXEL(canvas, 0, 0, kCanvasColor);
        EXPECT_PIXEL(canvas, 25, 25, kCanvasColor);
        EXPECT_PIXEL(canvas, c.ink.x, c.ink.y, glyph);
        EXPECT_GT(canvas.CountOf(glyph), 10);
    }
}

const UINT kSideButtons[] = {IDC_WEBSITE, IDC_REGISTER, IDC_DISCORD, IDC_FACEBOOK, IDC_INSTAGRAM};

TEST_F(ButtonFaceTest, SideButtonsReleasedShowGlyphAndLabelOnNothing) {
    const COLORREF color = RGB(214, 222, 240);
    for (UINT id : kSideButtons) {
        SCOPED_TRACE(id);
        Canvas canvas(78, 70);
        EXPECT_TRUE(DrawFace(canvas, id, false));
        EXPECT_PIXEL(canvas, 10, 35, kCanvasColor);
        EXPECT_PIXEL(canvas, 39, 4, kCanvasColor);
        EXPECT_PIXEL(canvas, 6, 35, kCanvasColor);
        EXPECT_GT(canvas.CountOf(color), 10);
    }
    Canvas website(78, 70);
    DrawFace(website, IDC_WEBSITE, false);
    EXPECT_PIXEL(website, 35, 22, color);
}

TEST_F(ButtonFaceTest, SideButtonsPressedShowAGoldBorderedPanel) {
    const COLORREF color = RGB(244, 204, 120);
    const COLORREF top = RGB(38, 44, 66);
    const COLORREF bottom = RGB(28, 33, 52);
    for (UINT id : kSideButtons) {
        SCOPED_TRACE(id);
        Canvas canvas(78, 70);
        EXPECT_TRUE(DrawFace(canvas, id, true));
        EXPECT_PIXEL(canvas, 39, 3, kCanvasColor);
        EXPECT_PIXEL(canvas, 39, 4, kPillBorder);
        EXPECT_PIXEL(canvas, 5, 35, kCanvasColor);
        EXPECT_PIXEL(canvas, 6, 35, kPillBorder);
        EXPECT_PIXEL(canvas, 71, 35, kPillBorder);
        EXPECT_PIXEL(canvas, 72, 35, kCanvasColor);
        EXPECT_PIXEL(canvas, 10, 35, Row(31, 62, top, bottom));
        EXPECT_PIXEL(canvas, 67, 35, Row(31, 62, top, bottom));
        EXPECT_PIXEL(canvas, 6, 4, kCanvasColor);
        EXPECT_PIXEL(canvas, 0, 0, kCanvasColor);
        EXPECT_GT(canvas.CountOf(color), 10);
    }
    Canvas website(78, 70);
    DrawFace(website, IDC_WEBSITE, true);
    EXPECT_PIXEL(website, 35, 22, color);
}

TEST_F(ButtonFaceTest, PlayButtonWaitsInGreyPressedOrNot) {
    gState.patchFinished.store(0);
    for (bool pressed : {false, true}) {
        SCOPED_TRACE(pressed);
        Canvas canvas(180, 62);
        EXPECT_TRUE(DrawFace(canvas, IDC_PLAY, pressed));
        EXPECT_PIXEL(canvas, 90, 0, RGB(90, 98, 120));
        EXPECT_PIXEL(canvas, 0, 31, RGB(90, 98, 120));
        EXPECT_PIXEL(canvas, 179, 31, RGB(90, 98, 120));
        EXPECT_PIXEL(canvas, 90, 61, RGB(90, 98, 120));
        EXPECT_PIXEL(canvas, 10, 31, Row(31, 62, RGB(64, 70, 88), RGB(46, 52, 68)));
        EXPECT_PIXEL(canvas, 90, 3, Row(3, 62, RGB(64, 70, 88), RGB(46, 52, 68)));
        EXPECT_PIXEL(canvas, 0, 0, kCanvasColor);
    }
}

TEST_F(ButtonFaceTest, PlayButtonTurnsGoldenWhenThePatchRunEnds) {
    gState.patchFinished.store(1);
    struct Case {
        bool pressed;
        COLORREF top;
        COLORREF bottom;
    };
    for (Case c : {Case{false, RGB(255, 214, 110), RGB(222, 168, 64)},
                   Case{true, RGB(232, 182, 86), RGB(198, 150, 58)}}) {
        SCOPED_TRACE(c.pressed);
        Canvas canvas(180, 62);
        EXPECT_TRUE(DrawFace(canvas, IDC_PLAY, c.pressed));
        EXPECT_PIXEL(canvas, 90, 0, RGB(150, 110, 40));
        EXPECT_PIXEL(canvas, 0, 31, RGB(150, 110, 40));
        EXPECT_PIXEL(canvas, 10, 31, Row(31, 62, c.top, c.bottom));
        EXPECT_PIXEL(canvas, 170, 50, Row(50, 62, c.top, c.bottom));
        // The highlight line runs from x = 14 to 165 on row 3.
        EXPECT_PIXEL(canvas, 13, 3, Row(3, 62, c.top, c.bottom));
        EXPECT_PIXEL(canvas, 14, 3, RGB(255, 236, 170));
        EXPECT_PIXEL(canvas, 165, 3, RGB(255, 236, 170));
        EXPECT_PIXEL(canvas, 166, 3, Row(3, 62, c.top, c.bottom));
        EXPECT_PIXEL(canvas, 0, 0, kCanvasColor);
    }
}

TEST_F(ButtonFaceTest, FacesStandOnThePieceOfTheFrameBehindThem) {
    ResetLauncherForRun(MakeGameDir("render-behind"));
    gState.backgroundBitmap = nullptr;
    HWND parent = MakePaintingWindow();
    HWND website = MakeChildButton(parent, IDC_WEBSITE, 738, 74, 78, 70);
    HWND play = MakeChildButton(parent, IDC_PLAY, 532, 412, 180, 62);

    Canvas side(78, 70);
    DrawFace(side, IDC_WEBSITE, false, website);
    // The side-bar line runs down the button's first column, the backdrop fills the rest.
    EXPECT_PIXEL(side, 0, 35, RGB(60, 72, 104));
    EXPECT_PIXEL(side, 1, 35, RGB(14, 18, 30));
    EXPECT_PIXEL(side, 10, 35, RGB(14, 18, 30));
    EXPECT_PIXEL(side, 77, 69, RGB(14, 18, 30));
    EXPECT_PIXEL(side, 35, 22, RGB(214, 222, 240));

    gState.patchFinished.store(1);
    Canvas golden(180, 62);
    DrawFace(golden, IDC_PLAY, false, play);
    EXPECT_PIXEL(golden, 0, 0, kWindowColor);
    EXPECT_PIXEL(golden, 10, 31, Row(31, 62, RGB(255, 214, 110), RGB(222, 168, 64)));
    DestroyWindow(parent);
}

TEST_F(ButtonFaceTest, UnknownIdentifiersDrawNothing) {
    for (UINT id : {0u, 1000u, 1010u, 0xFFFFFFFFu}) {
        Canvas canvas(180, 70);
        EXPECT_TRUE(DrawFace(canvas, id, true));
        EXPECT_EQ(canvas.CountOf(kCanvasColor), 180 * 70);
    }
}

// --- Every object created is deleted ---------------------------------------------------------

TEST(GdiBalanceTest, FramesAndFacesDeleteEverythingTheyCreate) {
    // Wine's GetGuiResources reports 0 objects whatever a process holds, so the test build
    // counts every creation and successful deletion made through render/gdi_objects_win.
    ResetLauncherForRun(MakeGameDir("render-balance"));
    HWND window = MakePaintingWindow();
    ShowWindow(window, SW_SHOWNOACTIVATE);
    // Real children, so that the faces also compose the frame behind them.
    HWND captionButton = MakeChildButton(window, IDC_SETUP, 748, 14, 26, 26);
    HWND sideButton = MakeChildButton(window, IDC_DISCORD, 738, 214, 78, 70);
    HWND playButton = MakeChildButton(window, IDC_PLAY, 532, 412, 180, 62);
    Canvas frame(kFrameWidth, kFrameHeight);
    Canvas caption(26, 26);
    Canvas side(78, 70);
    Canvas play(180, 62);
    NewsItem items[5];
    for (int i = 0; i < 5; ++i)
        items[i] = MakeItem("TAG", "Title", i % 2 ? "Body" : "");

    GdiTally before = ReadGdiTally();
    for (int i = 0; i < 300; ++i) {
        gState.newsCount.store(i % 3 == 0 ? -1 : 0);
        if (i % 3 == 2)
            PublishNews(items, 1 + i % 5);
        gState.progressPercent.store(i % 120);
        gState.patchFinished.store(i % 2);
        ComposeFrame(frame.dc);
        if (i % 10 == 0) {
            InvalidateRect(window, nullptr, FALSE);
            UpdateWindow(window);
        }
        bool pressed = i % 4 < 2;
        for (UINT id : {IDC_CLOSE, IDC_SETUP, IDC_MINIMIZE})
            DrawFace(caption, id, pressed, i % 5 == 0 ? captionButton : nullptr);
        for (UINT id : kSideButtons)
            DrawFace(side, id, pressed, i % 5 == 0 ? sideButton : nullptr);
        DrawFace(play, IDC_PLAY, pressed, i % 5 == 0 ? playButton : nullptr);
    }
    GdiTally after = ReadGdiTally();
    DestroyWindow(window);
    gState.patchFinished.store(0);
    gState.newsCount.store(-1);

    long created = after.created - before.created;
    long deleted = after.deleted - before.deleted;
    // Hundreds of gradient rows per frame: the tally must have seen real work.
    EXPECT_GT(created, 300L * 500);
    EXPECT_EQ(created, deleted);
}

}  // namespace
