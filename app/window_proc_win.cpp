// MainWndProc: a table of short cases, each handing off to a named function below it.
#include "app/window_proc_win.h"

#include <shellapi.h>
#include <stdio.h>

#include "app/layout.h"
#include "base/game_path.h"
#include "base/launcher_state_win.h"
#include "base/own_files.h"
#include "base/player_texts.h"
#include "base/shell_start_win.h"
#include "build_config.h"
#include "render/button_faces_win.h"
#include "render/paint_win.h"

namespace {

constexpr INT_PTR kProgramMissing = -1;
constexpr int kWarningSize = 200;

struct WebLink {
    int command;
    const char* address;
};
constexpr WebLink kWebLinks[] = {
    {IDC_WEBSITE, SKH_URL_WEBSITE},     {IDC_REGISTER, SKH_URL_REGISTER},
    {IDC_DISCORD, SKH_URL_DISCORD},     {IDC_FACEBOOK, SKH_URL_FACEBOOK},
    {IDC_INSTAGRAM, SKH_URL_INSTAGRAM},
};

void ShowWarning(const char* text) {
    MessageBoxA(gState.mainWindow, text, kWarningCaption, MB_OK | MB_ICONWARNING);
}

// Starts a program of the game folder with the game folder as its working directory and
// returns what ShellExecuteA returned (above 32 when it started). Shows the warning box and
// returns kProgramMissing when the file is missing or is a directory.
INT_PTR StartGameFolderProgram(const char* fileName, const char* missingWarning) {
    char path[kPathSize];
    WIN32_FILE_ATTRIBUTE_DATA facts;
    if (!GameFolderPath(gState.gameDir, fileName, path, sizeof(path)) ||
        !GetFileAttributesExA(path, GetFileExInfoStandard, &facts) ||
        (facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        ShowWarning(missingWarning);
        return kProgramMissing;
    }
    return reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", path, nullptr, gState.gameDir, SW_SHOWNORMAL));
}

void OnPlay() {
    // Presses during the patch run are ignored without a word: the button says so itself.
    if (gState.patchFinished.load(std::memory_order_acquire) == 0)
        return;
    INT_PTR started = StartGameFolderProgram(kGameClientFileName, kGameClientMissing);
    if (started > kShellExecuteFailureLimit) {
        PostQuitMessage(0);
    } else if (started != kProgramMissing) {
        // Found but not started: the launcher stays, so the player can try again.
        char warning[kWarningSize];
        snprintf(warning, sizeof(warning), kGameClientNotStartedFormat, static_cast<int>(started));
        ShowWarning(warning);
    }
}

void OpenWebLink(int command) {
    for (const WebLink& link : kWebLinks) {
        if (link.command == command)
            ShellExecuteA(nullptr, "open", link.address, nullptr, nullptr, SW_SHOWNORMAL);
    }
}

void OnCommand(HWND window, int command) {
    switch (command) {
        case IDC_PLAY:
            OnPlay();
            break;
        case IDC_CLOSE:
            PostQuitMessage(0);
            break;
        case IDC_MINIMIZE:
            ShowWindow(window, SW_MINIMIZE);
            break;
        case IDC_SETUP:
            StartGameFolderProgram(kSettingsToolFileName, kSettingsToolMissing);
            break;
        default:
            OpenWebLink(command);
            break;
    }
}

LRESULT OnHitTest(HWND window, LPARAM lParam) {
    POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ScreenToClient(window, &point);
    return IsDragPoint(point.x, point.y) ? HTCAPTION : HTCLIENT;
}

// Every press that reaches the client area outside the buttons moves the window as if it
// had landed on a title bar.
void StartWindowMove(HWND window) {
    ReleaseCapture();
    SendMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void OnDrawItem(const DRAWITEMSTRUCT* item) {
    if (IsLauncherButton(static_cast<int>(item->CtlID)))
        DrawButtonItem(item);
}

}  // namespace

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_PAINT:
            PaintMainWindow(window);
            return 0;
        case WM_ERASEBKGND:
            // Every paint covers the whole client area.
            return 1;
        case WM_DRAWITEM:
            OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return 1;
        case WM_NCHITTEST:
            return OnHitTest(window, lParam);
        case WM_LBUTTONDOWN:
            StartWindowMove(window);
            return 0;
        case WM_COMMAND:
            OnCommand(window, LOWORD(wParam));
            return 0;
        case WM_PATCH_FINISHED:
            InvalidateRect(gState.playButton, nullptr, TRUE);
            return 0;
        case WM_NEWS_READY:
            InvalidateRect(window, &kNewsArea, FALSE);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}
