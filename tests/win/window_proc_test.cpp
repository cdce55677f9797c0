// MainWndProc on a real window of this thread: worker messages, owner-draw requests and the
// commands of the buttons, whatever notification code they carry.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "app/launcher_state.h"
#include "app/window_proc.h"
#include "support/test_support.h"

namespace {

constexpr COLORREF kUntouched = RGB(1, 2, 3);

// A window of the launcher's procedure with a play button, set up as WinMain leaves them.
struct ShellWindow {
    HWND window = nullptr;
    ShellWindow() {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = MainWndProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "SkhShellTestWindow";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "SkhShellTestWindow", "shell", WS_POPUP, 0, 0, 820, 520,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        gState.mainWindow = window;
        gState.playButton =
            CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 532, 412, 180,
                            62, window, reinterpret_cast<HMENU>(IDC_PLAY), nullptr, nullptr);
        ShowWindow(window, SW_SHOWNOACTIVATE);
        ValidateRect(window, nullptr);
        ValidateRect(gState.playButton, nullptr);
    }
    ~ShellWindow() { DestroyWindow(window); }
};

std::string StubProgramPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string folder(path);
    return folder.substr(0, folder.rfind('\\') + 1) + "started_program_stub.exe";
}

bool WaitForFile(const std::string& path) {
    for (int waited = 0; waited < 20000; waited += 50) {
        if (FileExists(path) && !ReadFileBytes(path).empty())
            return true;
        Sleep(50);
    }
    return false;
}

// Sends WM_COMMAND with the button's identifier in the low word and a notification code.
void Press(HWND window, int id, WORD notification) {
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, notification),
                 reinterpret_cast<LPARAM>(gState.playButton));
}

class WindowProcTest : public ::testing::Test {
protected:
    void SetUp() override {
        gameDir = MakeGameDir("window_proc");
        ResetLauncherForRun(gameDir, DeadServerUrl());
        shell = new ShellWindow();
        DrainPostedMessages(WM_QUIT);
    }
    void TearDown() override {
        delete shell;
        DrainPostedMessages(WM_QUIT);
    }
    std::string gameDir;
    ShellWindow* shell = nullptr;
};

TEST_F(WindowProcTest, NewsReadyInvalidatesOnlyTheNewsArea) {
    SendMessageA(shell->window, WM_NEWS_READY, 0, 0);
    RECT update;
    ASSERT_TRUE(GetUpdateRect(shell->window, &update, FALSE));
    EXPECT_EQ(update.left, newsArea.left);
    EXPECT_EQ(update.top, newsArea.top);
    EXPECT_EQ(update.right, newsArea.right);
    EXPECT_EQ(update.bottom, newsArea.bottom);
    EXPECT_FALSE(GetUpdateRect(gState.playButton, nullptr, FALSE));
}

TEST_F(WindowProcTest, PatchFinishedInvalidatesTheWholePlayButton) {
    SendMessageA(shell->window, WM_PATCH_FINISHED, 0, 0);
    RECT update;
    ASSERT_TRUE(GetUpdateRect(gState.playButton, &update, FALSE));
    EXPECT_EQ(update.right - update.left, 180);
    EXPECT_EQ(update.bottom - update.top, 62);
    EXPECT_FALSE(GetUpdateRect(shell->window, nullptr, FALSE));
}

TEST_F(WindowProcTest, EraseAndUnknownOwnerDrawRequestsDrawNothingAndAnswerOne) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 200, 80);
    ReleaseDC(nullptr, screen);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    RECT all = {0, 0, 200, 80};
    HBRUSH fill = CreateSolidBrush(kUntouched);
    FillRect(memory, &all, fill);
    DeleteObject(fill);

    EXPECT_EQ(SendMessageA(shell->window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0), 1);
    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_BUTTON;
    item.CtlID = 1010;
    item.itemAction = ODA_DRAWENTIRE;
    item.hwndItem = gState.playButton;
    item.hDC = memory;
    item.rcItem = {0, 0, 180, 62};
    EXPECT_EQ(SendMessageA(shell->window, WM_DRAWITEM, 1010, reinterpret_cast<LPARAM>(&item)), 1);
    int changed = 0;
    for (int y = 0; y < 80; y += 4) {
        for (int x = 0; x < 200; x += 4)
            changed += GetPixel(memory, x, y) != kUntouched;
    }
    EXPECT_EQ(changed, 0);

    // The same request for the play button does reach the face painter.
    item.CtlID = IDC_PLAY;
    EXPECT_EQ(SendMessageA(shell->window, WM_DRAWITEM, IDC_PLAY, reinterpret_cast<LPARAM>(&item)),
              1);
    EXPECT_NE(GetPixel(memory, 90, 31), kUntouched);

    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

TEST_F(WindowProcTest, PlayIsIgnoredWhilePatchingThenStartsTheGameAndQuits) {
    ASSERT_TRUE(CopyFileA(StubProgramPath().c_str(), (gameDir + "SKH2026.exe").c_str(), FALSE));
    Press(shell->window, IDC_PLAY, BN_CLICKED);
    Sleep(500);
    EXPECT_FALSE(FileExists(gameDir + "SKH2026.exe.started"));
    EXPECT_EQ(DrainPostedMessages(WM_QUIT), 0);

    gState.patchFinished.store(1);
    Press(shell->window, IDC_PLAY, BN_DOUBLECLICKED);
    EXPECT_EQ(DrainPostedMessages(WM_QUIT), 1);
    ASSERT_TRUE(WaitForFile(gameDir + "SKH2026.exe.started"));
    std::string folder = gameDir.substr(0, gameDir.size() - 1);
    EXPECT_EQ(ReadFileBytes(gameDir + "SKH2026.exe.started").substr(0, 4 + folder.size() + 1),
              "cwd=" + folder + "\n");
}

TEST_F(WindowProcTest, MinimiseAndCloseWithAnyNotificationCode) {
    Press(shell->window, IDC_MINIMIZE, BN_DOUBLECLICKED);
    EXPECT_TRUE(IsIconic(shell->window));
    Press(shell->window, IDC_CLOSE, 0x1234);
    EXPECT_EQ(DrainPostedMessages(WM_QUIT), 1);
}

TEST_F(WindowProcTest, UnknownCommandDoesNothing) {
    Press(shell->window, 1010, BN_CLICKED);
    Press(shell->window, 0, BN_CLICKED);
    EXPECT_EQ(DrainPostedMessages(WM_QUIT), 0);
    EXPECT_FALSE(IsIconic(shell->window));
}

}  // namespace
