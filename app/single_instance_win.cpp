// One launcher per game folder, so that a double click never runs two patch runs at once.
#include "app/single_instance_win.h"

#include "app/single_instance.h"
#include "app/window_proc_win.h"
#include "base/game_path.h"
#include "base/launcher_state_win.h"
#include "base/own_files.h"

namespace {

constexpr char kFolderProperty[] = "SKH2026Patcher.GameFolder";
// The old launcher ends as soon as its script starts; the script then moves the file.
constexpr DWORD kHandoverWaitMs = 20000;
// One minute in the 100-nanosecond ticks of a FILETIME.
constexpr ULONGLONG kHandoverFreshness = 60ULL * 10000000ULL;
// A launcher started a moment earlier may not have shown its window yet.
constexpr int kWindowWaitMs = 5000;
constexpr int kPollMs = 100;

// The folder's key as a window property (a handle-sized value, never 0).
HANDLE FolderMark() {
    return reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(GameFolderKey(gState.gameDir)) | 1);
}

struct WindowSearch {
    HANDLE mark;
    HWND found;
};

BOOL CALLBACK FindMarkedWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    char className[sizeof(kWindowClassName) + 1] = {};
    GetClassNameA(window, className, sizeof(className));
    if (lstrcmpA(className, kWindowClassName) != 0 ||
        GetPropA(window, kFolderProperty) != search->mark)
        return TRUE;
    search->found = window;
    return FALSE;
}

void BringRunningLauncherForward() {
    WindowSearch search = {FolderMark(), nullptr};
    for (int waited = 0; waited < kWindowWaitMs; waited += kPollMs) {
        EnumWindows(FindMarkedWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            if (IsIconic(search.found))
                ShowWindow(search.found, SW_RESTORE);
            SetForegroundWindow(search.found);
            return;
        }
        Sleep(kPollMs);
    }
}

// The hand-over record was written within the last minute: this start is the new launcher
// the update script has just started, not a second click.
bool RightAfterHandover() {
    char record[kPathSize];
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GameFolderPath(gState.gameDir, kHandoverFileName, record, sizeof(record)) ||
        !GetFileAttributesExA(record, GetFileExInfoStandard, &data)) {
        return false;
    }
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER written = {
        {data.ftLastWriteTime.dwLowDateTime, data.ftLastWriteTime.dwHighDateTime}};
    ULARGE_INTEGER current = {{now.dwLowDateTime, now.dwHighDateTime}};
    return current.QuadPart - written.QuadPart < kHandoverFreshness;
}

}  // namespace

bool ClaimGameFolder() {
    char name[kGuardNameSize];
    GameFolderGuardName(GameFolderKey(gState.gameDir), name);
    // Held, never closed: the guard lives as long as the process.
    HANDLE guard = CreateMutexA(nullptr, TRUE, name);
    if (guard == nullptr || GetLastError() != ERROR_ALREADY_EXISTS)
        return true;
    if (RightAfterHandover()) {
        DWORD waited = WaitForSingleObject(guard, kHandoverWaitMs);
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED)
            return true;
    }
    CloseHandle(guard);
    BringRunningLauncherForward();
    return false;
}

void MarkMainWindow(HWND window) {
    SetPropA(window, kFolderProperty, FolderMark());
}
