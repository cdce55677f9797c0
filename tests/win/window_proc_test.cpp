// MainWndProc on a real window of this thread: worker messages, owner-draw requests and the
// commands of the buttons, whatever notification code they carry.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "base/control_ids.h"
#include "base/launcher_state_win.h"
#include "app/window_proc_win.h"
#include "support/test_support.h"

namespace {

constexpr COLORREF kUntouched = RGB(1, 2, 3);

std::string StubProgramPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string folder(path);
    return folder.substr(0, folder.rfind('\\') + 1) + "started_program_stub.exe";
}

// A window of the launcher's procedure with a play button, set up as WinMain leaves them.
class WindowProcTest : public ::testing::Test {
protected:
    void SetUp() override {
        gameDir = MakeGameDir("window_proc");
        ResetLauncherForRun(gameDir, DeadServerUrl());
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
        DrainPostedMessages(WM_QUIT);
    }
    void TearDown() override {
        DestroyWindow(window);
        DrainPostedMessages(WM_QUIT);
    }
    // WM_COMMAND with the button's identifier in the low word and a notification code.
    void Press(int id, WORD notification) {
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, notification),
                     reinterpret_cast<LPARAM>(gState.playButton));
    }
    std::string gameDir;
    HWND window = nullptr;
};

TEST_F(WindowProcTest, WorkerMessagesInvalidateTheNewsAreaOrTheWholePlayButton) {
    RECT update;
    SendMessageA(window, WM_NEWS_READY, 0, 0);
    ASSERT_TRUE(GetUpdateRect(window, &update, FALSE));
    EXPECT_EQ((std::array<LONG, 4>{update.left, update.top, update.right, update.bottom}),
              (std::array<LONG, 4>{newsArea.left, newsArea.top, newsArea.right, newsArea.bottom}));
    EXPECT_FALSE(GetUpdateRect(gState.playButton, nullptr, FALSE));

    ValidateRect(window, nullptr);
    SendMessageA(window, WM_PATCH_FINISHED, 0, 0);
    ASSERT_TRUE(GetUpdateRect(gState.playButton, &update, FALSE));
    EXPECT_EQ(update.right - update.left, 180);
    EXPECT_EQ(update.bottom - update.top, 62);
    EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE));
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

    EXPECT_EQ(SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0), 1);
    DRAWITEMSTRUCT item = {ODT_BUTTON,      1010, 0, ODA_DRAWENTIRE, 0, gState.playButton, memory,
                           {0, 0, 180, 62}, 0};
    EXPECT_EQ(SendMessageA(window, WM_DRAWITEM, 1010, reinterpret_cast<LPARAM>(&item)), 1);
    int changed = 0;
    for (int i = 0; i < 200 * 80; i += 4)
        changed += GetPixel(memory, i % 200, i / 200) != kUntouched;
    EXPECT_EQ(changed, 0);

    // The same request for the play button does reach the face painter.
    item.CtlID = IDC_PLAY;
    EXPECT_EQ(SendMessageA(window, WM_DRAWITEM, IDC_PLAY, reinterpret_cast<LPARAM>(&item)), 1);
    EXPECT_NE(GetPixel(memory, 90, 31), kUntouched);

    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

TEST_F(WindowProcTest, PlayIsIgnoredWhilePatchingThenStartsTheGameAndQuits) {
    const std::string marker = gameDir + "SKH2026.exe.started";
    ASSERT_TRUE(CopyFileA(StubProgramPath().c_str(), (gameDir + "SKH2026.exe").c_str(), FALSE));
    Press(IDC_PLAY, BN_CLICKED);
    Sleep(500);
    EXPECT_FALSE(FileExists(marker));
    EXPECT_EQ(DrainPostedMessages(WM_QUIT), 0);

    gState.patchFinished.store(1);
    Press(IDC_PLAY, BN_DOUBLECLICKED);
    EXPECT_EQ(DrainPostedMessages(WM_QUIT), 1);
    // The folder it starts in is checked end to end; here only that it starts.
    for (int waited = 0; waited < 20000 && ReadFileBytes(marker).empty(); waited += 50)
        Sleep(50);
    EXPECT_FALSE(ReadFileBytes(marker).empty());
}

TEST_F(WindowProcTest, CommandsActOnAnyNotificationCodeAndUnknownOnesDoNothing) {
    Press(1010, BN_CLICKED);
    Press(0, BN_CLICKED);
    EXPECT_EQ(DrainPostedMessages(WM_QUIT), 0);
    EXPECT_FALSE(IsIconic(window));

    Press(IDC_MINIMIZE, BN_DOUBLECLICKED);
    EXPECT_TRUE(IsIconic(window));
    Press(IDC_CLOSE, 0x1234);
    EXPECT_EQ(DrainPostedMessages(WM_QUIT), 1);
}

}  // namespace
