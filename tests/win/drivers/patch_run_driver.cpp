// Runs one patch run of the test build against a given patch root and game folder, and
// prints every status line, for end-to-end scripts that serve the tree themselves.
//   patch_run_driver.exe https://localhost:PORT "C:\games\skh\\"
// Exit status 0 when the run ended by posting WM_PATCH_FINISHED.
#include <windows.h>
#include <process.h>
#include <stdio.h>

#include "app/launcher_state.h"
#include "patch/http.h"
#include "patch/server_urls.h"
#include "patch/stages.h"

namespace {

// The run posts its end to the window; the driver only has to see the message arrive.
HWND CreateHiddenWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "SKH2026PatchRunDriver";
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, windowClass.lpszClassName, "", WS_POPUP, 0, 0, 10, 10, nullptr,
                           nullptr, windowClass.hInstance, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: patch_run_driver PATCH_ROOT GAME_DIR\\\n");
        return 2;
    }
    SetPatchRootForTests(argv[1]);
    snprintf(gState.gameDir, sizeof(gState.gameDir), "%s", argv[2]);
    gState.mainWindow = CreateHiddenWindow();
    if (gState.mainWindow == nullptr) {
        fprintf(stderr, "patch_run_driver: no window\n");
        return 1;
    }

    HANDLE worker =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, PatchThreadProc, nullptr, 0, nullptr));
    bool finished = false;
    MSG message;
    while (!finished && GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_PATCH_FINISHED && message.hwnd == gState.mainWindow)
            finished = true;
        DispatchMessageA(&message);
    }
    WaitForSingleObject(worker, INFINITE);
    CloseHandle(worker);

    for (const StatusRecord& record : TakeStatusLog())
        printf("status %d %s\n", record.percent, record.text.c_str());
    char finalText[kStatusTextSize];
    ReadStatusText(finalText);
    printf("final %s\n", finalText);
    fprintf(stderr, "patch_run_driver: ANSI code page %u\n", GetACP());
    return finished && gState.patchFinished.load() == 1 ? 0 : 1;
}
