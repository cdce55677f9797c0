// Window painting: the whole frame composed off-screen and copied to the window in one block.
#include "render/paint_win.h"

#include "base/launcher_state_win.h"
#include "base/player_texts.h"
#include "base/window_frame.h"
#include "render/frame_layout.h"
#include "render/gdi_objects_win.h"
#include "render/primitives_win.h"

namespace {

constexpr UINT kPlainLine = DT_SINGLELINE | DT_NOPREFIX;
constexpr UINT kClippedLine = DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX;
constexpr UINT kCentredTag = DT_CENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX;
constexpr UINT kStatusLineFormat = DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX;

// TextOutA takes a length rather than a terminated text.
template <size_t N>
void DrawWord(HDC dc, int x, int y, const char (&text)[N]) {
    TextOutA(dc, x, y, text, N - 1);
}

void DrawBackground(HDC frame) {
    if (gState.backgroundBitmap == nullptr) {
        GdiObject brush(MakeSolidBrush(kWindowColor));
        RECT all = {0, 0, kWindowWidth, kWindowHeight};
        FillRect(frame, &all, static_cast<HBRUSH>(brush.handle));
        return;
    }
    MemoryContext picture(frame);
    SelectedObject selected(picture.context, gState.backgroundBitmap);
    BitBlt(frame, 0, 0, kWindowWidth, kWindowHeight, picture.context, 0, 0, SRCCOPY);
}

void DrawLogo(HDC frame) {
    // The hollow brush of the ring stays selected while the diamond is drawn.
    SelectedObject hollow(frame, GetStockObject(NULL_BRUSH));
    {
        GdiObject pen(MakeSolidPen(3, RGB(240, 196, 96)));
        SelectedObject selectedPen(frame, pen.handle);
        Ellipse(frame, 32, 32, 72, 72);
    }
    {
        GdiObject brush(MakeSolidBrush(RGB(244, 206, 110)));
        SelectedObject selectedBrush(frame, brush.handle);
        SelectedObject noOutline(frame, GetStockObject(NULL_PEN));
        const POINT diamond[] = {{52, 41}, {60, 52}, {52, 63}, {44, 52}};
        Polygon(frame, diamond, 4);
    }
}

void DrawTitles(HDC frame) {
    {
        GdiObject font(MakeFont(-30, FW_BOLD, kLogoFace));
        SelectedObject selected(frame, font.handle);
        SetTextColor(frame, RGB(20, 14, 6));
        DrawWord(frame, 81, 31, kLogoWord);
        SetTextColor(frame, RGB(246, 210, 120));
        DrawWord(frame, 80, 30, kLogoWord);
    }
    {
        GdiObject font(MakeFont(-15, FW_BOLD, kTextFace));
        SelectedObject selected(frame, font.handle);
        SetTextColor(frame, RGB(224, 232, 248));
        DrawWord(frame, 82, 64, kTitleLine);
    }
    {
        GdiObject font(MakeFont(-12, FW_NORMAL, kTextFace));
        SelectedObject selected(frame, font.handle);
        SetTextColor(frame, RGB(150, 166, 206));
        DrawWord(frame, 32, 86, kSubtitle);
    }
}

void DrawNewsPanel(HDC frame) {
    DrawOuterGlow(frame, 30, 150, 500, 400, 18);
    FillRoundedPanel(frame, 30, 150, 500, 400, 18, RGB(26, 32, 52), RGB(17, 21, 36),
                     RGB(70, 84, 124));
    {
        ClipRegion clip(frame, MakeRoundRegion(31, 151, 500, 191, 17));
        FillVerticalGradient(frame, 31, 151, 499, 190, RGB(48, 40, 22), RGB(30, 26, 18));
    }
    {
        GdiObject brush(MakeSolidBrush(RGB(246, 204, 110)));
        RECT accent = {46, 162, 50, 180};
        FillRect(frame, &accent, static_cast<HBRUSH>(brush.handle));
    }
    GdiObject font(MakeFont(-16, FW_BOLD, kTextFace));
    SelectedObject selected(frame, font.handle);
    SetTextColor(frame, RGB(246, 210, 124));
    DrawWord(frame, 60, 161, kNewsHeader);
}

void DrawNewsRows(HDC frame, int count, HFONT titleFont, HFONT tagFont, HFONT bodyFont) {
    NewsRowLayout rows[kNewsItemsMax];
    int drawn = LayoutNewsRows(gState.newsItems, count, rows);
    for (int i = 0; i < drawn; ++i) {
        const NewsItem& item = gState.newsItems[i];
        int y = rows[i].top;
        FillRoundedPanel(frame, 50, y, 108, y + 18, 8, RGB(60, 48, 22), RGB(44, 36, 20),
                         kBronzeBorder);
        SelectObject(frame, tagFont);
        SetTextColor(frame, RGB(248, 208, 116));
        DrawBox(frame, item.tag, 50, y + 1, 108, y + 18, kCentredTag);
        SelectObject(frame, titleFont);
        SetTextColor(frame, RGB(230, 236, 252));
        DrawBox(frame, item.title, 118, y - 1, 482, y + 18, kClippedLine);
        if (rows[i].hasBody) {
            SelectObject(frame, bodyFont);
            SetTextColor(frame, RGB(146, 162, 202));
            DrawBox(frame, item.body, 118, y + 18, 482, y + 34, kClippedLine);
        }
        if (rows[i].hasSeparator) {
            GdiObject pen(MakeSolidPen(1, RGB(40, 48, 72)));
            SelectedObject selectedPen(frame, pen.handle);
            MoveToEx(frame, 50, rows[i].separatorY, nullptr);
            LineTo(frame, 482, rows[i].separatorY);
        }
    }
}

void DrawNewsList(HDC frame) {
    GdiObject titleFont(MakeFont(-14, FW_BOLD, kTextFace));
    GdiObject tagFont(MakeFont(-12, FW_BOLD, kTextFace));
    GdiObject bodyFont(MakeFont(-12, FW_NORMAL, kTextFace));
    HFONT title = static_cast<HFONT>(titleFont.handle);
    HFONT tag = static_cast<HFONT>(tagFont.handle);
    HFONT body = static_cast<HFONT>(bodyFont.handle);
    // Restores the frame's own font before the three list fonts are deleted.
    SelectedObject restoreFont(frame, GetCurrentObject(frame, OBJ_FONT));

    // Read once: the rows below never look past the entries this count covers.
    int count = gState.newsCount.load(std::memory_order_acquire);
    if (count < 0) {
        SelectObject(frame, body);
        SetTextColor(frame, RGB(140, 156, 196));
        DrawBox(frame, kNewsLoading, 50, 202, 482, 224, kPlainLine);
    } else if (count == 0) {
        SelectObject(frame, title);
        SetTextColor(frame, RGB(226, 234, 252));
        DrawBox(frame, kNewsWelcomeTitle, 50, 202, 482, 224, kClippedLine);
        SelectObject(frame, body);
        SetTextColor(frame, RGB(140, 156, 196));
        DrawBox(frame, kNewsWelcomeBody, 50, 228, 482, 250, kClippedLine);
    } else {
        DrawNewsRows(frame, count, title, tag, body);
    }
}

void DrawSideBarBackdrop(HDC frame) {
    {
        ClipRegion clip(frame, MakeRectRegion(kSideBarLeft, 0, kWindowWidth, kWindowHeight));
        // Runs past the window's right edge, so only the two left corners show rounded.
        GdiObject backdrop(MakeRoundRegion(kSideButtonsLeft, 60, kWindowWidth + 18, 430, 26));
        GdiObject brush(MakeSolidBrush(RGB(14, 18, 30)));
        FillRgn(frame, static_cast<HRGN>(backdrop.handle), static_cast<HBRUSH>(brush.handle));
    }
    GdiObject pen(MakeSolidPen(1, RGB(60, 72, 104)));
    SelectedObject selectedPen(frame, pen.handle);
    MoveToEx(frame, kSideButtonsLeft, 64, nullptr);
    LineTo(frame, kSideButtonsLeft, 424);
}

void DrawStatusLine(HDC frame) {
    char text[kStatusTextSize];
    ReadStatusText(text);
    GdiObject font(MakeFont(-13, FW_NORMAL, kTextFace));
    SelectedObject selected(frame, font.handle);
    SetTextColor(frame, RGB(210, 220, 244));
    DrawBox(frame, text, kStatusLine.left, kStatusLine.top, kStatusLine.right, kStatusLine.bottom,
            kStatusLineFormat);
}

void DrawProgressBar(HDC frame) {
    const FrameArea& track = kProgressTrack;
    FillRoundedPanel(frame, track.left, track.top, track.right, track.bottom, 3, RGB(30, 36, 54),
                     RGB(22, 27, 42), RGB(56, 66, 96));
    int width = ProgressFillWidth(gState.progressPercent.load(std::memory_order_acquire));
    if (width == 0)
        return;
    // The fill lies one pixel inside the track's border.
    const int left = track.left + 1;
    const int top = track.top + 1;
    ClipRegion clip(frame, MakeRoundRegion(left, top, left + width + 1, track.bottom, 2));
    FillVerticalGradient(frame, left, top, left + width, track.bottom - 1, RGB(252, 214, 120),
                         RGB(224, 170, 66));
}

}  // namespace

void ComposeFrame(HDC frame) {
    SetBkMode(frame, TRANSPARENT);
    DrawBackground(frame);
    DrawLogo(frame);
    DrawTitles(frame);
    DrawNewsPanel(frame);
    DrawNewsList(frame);
    DrawSideBarBackdrop(frame);
    DrawStatusLine(frame);
    DrawProgressBar(frame);
}

void CopyComposedFrame(HDC target, int targetX, int targetY, int width, int height, int sourceX,
                       int sourceY) {
    MemoryContext frame(target);
    GdiObject bitmap(MakeCompatibleBitmap(target, kWindowWidth, kWindowHeight));
    SelectedObject selected(frame.context, bitmap.handle);
    ComposeFrame(frame.context);
    BitBlt(target, targetX, targetY, width, height, frame.context, sourceX, sourceY, SRCCOPY);
}

void PaintMainWindow(HWND window) {
    PAINTSTRUCT paint;
    HDC windowContext = BeginPaint(window, &paint);
    CopyComposedFrame(windowContext, 0, 0, kWindowWidth, kWindowHeight, 0, 0);
    EndPaint(window, &paint);
}
