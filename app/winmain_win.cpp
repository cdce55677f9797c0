// WinMain: game folder, background, the main window and its buttons, the workers, the loop.
#include <windows.h>
#include <process.h>

#include "app/layout.h"
#include "app/single_instance_win.h"
#include "app/window_proc_win.h"
#include "base/launcher_state_win.h"
#include "base/player_texts.h"
#include "news/news_thread_win.h"
#include "patch/patch_run_win.h"
#include "res/resource_ids.h"

namespace {

constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | BS_OWNERDRAW;

// Leaves gameDir empty when the launcher's path does not fit: the patch run then stops
// before touching anything, and says why.
void FixGameDir() {
    char modulePath[kPathSize] = {};
    DWORD length = GetModuleFileNameA(nullptr, modulePath, sizeof(modulePath));
    GameDirFromModulePath(modulePath, length, sizeof(modulePath), gState.gameDir,
                          sizeof(gState.gameDir));
}

void LoadBackground(HINSTANCE instance) {
    gState.backgroundBitmap = static_cast<HBITMAP>(LoadImageA(
        instance, MAKEINTRESOURCEA(IDB_BACKGROUND), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

// The class brush lives as long as the class, that is until the process ends.
void RegisterMainClass(HINSTANCE instance) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = CreateSolidBrush(kWindowColor);
    windowClass.lpszClassName = kWindowClassName;
    RegisterClassA(&windowClass);
}

void CreateMainWindow(HINSTANCE instance) {
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    WindowOrigin origin = CentredWindowOrigin(screenWidth, screenHeight);
    gState.mainWindow =
        CreateWindowExA(0, kWindowClassName, kWindowTitle, WS_POPUP, origin.left, origin.top,
                        kWindowWidth, kWindowHeight, nullptr, nullptr, instance, nullptr);
}

void CreateButtons(HINSTANCE instance) {
    for (const ButtonPlacement& placement : kButtonPlacements) {
        HWND button = CreateWindowExA(0, "BUTTON", "", kButtonStyle, placement.left, placement.top,
                                      placement.width, placement.height, gState.mainWindow,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(placement.id)),
                                      instance, nullptr);
        if (placement.id == IDC_PLAY)
            gState.playButton = button;
    }
}

// The handle is dropped on purpose: no worker is ever waited for or stopped.
void StartWorker(unsigned(__stdcall* entry)(void*)) {
    _beginthreadex(nullptr, 0, entry, nullptr, 0, nullptr);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    FixGameDir();
    if (!ClaimGameFolder())
        return 0;
    LoadBackground(instance);
    RegisterMainClass(instance);
    CreateMainWindow(instance);
    MarkMainWindow(gState.mainWindow);
    CreateButtons(instance);
    ShowWindow(gState.mainWindow, SW_SHOW);
    UpdateWindow(gState.mainWindow);
    StartWorker(PatchThreadProc);
    StartWorker(NewsThreadProc);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
