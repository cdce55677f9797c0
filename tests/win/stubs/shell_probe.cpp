// Looks at a running launcher from outside, like the system would, for the shell tests.
// Runs its arguments as commands in order and prints one result line per command:
//   window             the main window: class, title, rectangle, styles, visible, iconic
//   buttons            each child: identifier, class, style, rectangle in client pixels
//   hittest:X,Y        what the window answers to WM_NCHITTEST at client point (X, Y)
//   box:MS             waits up to MS ms for the "SKH 2026" box, prints it, presses OK
//   nobox:MS           fails when a "SKH 2026" box shows up within MS ms
//   restore            restores the main window as the taskbar would
// Exit code 0 when every command succeeded, 1 otherwise.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

constexpr char kLauncherClass[] = "SKH2026Patcher";
constexpr char kBoxCaption[] = "SKH 2026";

// Only once it is shown: the launcher makes its window visible after the buttons exist.
HWND FindLauncher() {
    HWND window = FindWindowA(kLauncherClass, nullptr);
    return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

// The warning box is a dialog of the launcher's thread with the fixed caption.
HWND FindBox() {
    return FindWindowA("#32770", kBoxCaption);
}

HWND WaitFor(HWND (*find)(), int milliseconds) {
    for (int waited = 0;; waited += 50) {
        HWND window = find();
        if (window != nullptr || waited >= milliseconds)
            return window;
        Sleep(50);
    }
}

bool PrintWindow(HWND main) {
    char className[64] = {};
    char title[256] = {};
    GetClassNameA(main, className, sizeof(className));
    GetWindowTextA(main, title, sizeof(title));
    RECT rect;
    GetWindowRect(main, &rect);
    printf(
        "window class=%s title=%s rect=%ld,%ld,%ld,%ld style=0x%08lX exstyle=0x%08lX "
        "visible=%d iconic=%d\n",
        className, title, rect.left, rect.top, rect.right, rect.bottom,
        static_cast<unsigned long>(GetWindowLongA(main, GWL_STYLE)),
        static_cast<unsigned long>(GetWindowLongA(main, GWL_EXSTYLE)),
        IsWindowVisible(main) ? 1 : 0, IsIconic(main) ? 1 : 0);
    return true;
}

// Children in the order the system keeps them, which for siblings that were never
// reordered is the order of their creation.
bool PrintButtons(HWND main) {
    for (HWND child = GetWindow(main, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        char className[64] = {};
        char text[64] = {};
        GetClassNameA(child, className, sizeof(className));
        GetWindowTextA(child, text, sizeof(text));
        RECT rect;
        GetWindowRect(child, &rect);
        MapWindowPoints(HWND_DESKTOP, main, reinterpret_cast<POINT*>(&rect), 2);
        printf(
            "button id=%d class=%s style=0x%08lX exstyle=0x%08lX rect=%ld,%ld,%ld,%ld "
            "text=[%s]\n",
            GetDlgCtrlID(child), className,
            static_cast<unsigned long>(GetWindowLongA(child, GWL_STYLE)),
            static_cast<unsigned long>(GetWindowLongA(child, GWL_EXSTYLE)), rect.left, rect.top,
            rect.right, rect.bottom, text);
    }
    return true;
}

bool PrintHitTest(HWND main, const char* point) {
    POINT client = {};
    if (sscanf(point, "%ld,%ld", &client.x, &client.y) != 2)
        return false;
    POINT screen = client;
    ClientToScreen(main, &screen);
    LRESULT answer = SendMessageA(main, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
    printf("hittest %ld,%ld=%ld\n", client.x, client.y, static_cast<long>(answer));
    return true;
}

bool HandleBox(HWND main, int milliseconds) {
    HWND box = WaitFor(FindBox, milliseconds);
    if (box == nullptr) {
        printf("box none\n");
        return false;
    }
    // The text of a message box is its static control with identifier 0xFFFF.
    char text[512] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
    printf("box owner=%s text=%s\n", GetWindow(box, GW_OWNER) == main ? "launcher" : "other", text);
    fflush(stdout);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    for (int waited = 0; FindBox() != nullptr && waited < 5000; waited += 50)
        Sleep(50);
    return FindBox() == nullptr;
}

bool ExpectNoBox(int milliseconds) {
    HWND box = WaitFor(FindBox, milliseconds);
    printf("nobox %s\n", box == nullptr ? "ok" : "shown");
    if (box != nullptr)
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    return box == nullptr;
}

bool RunCommand(const char* command) {
    HWND main = WaitFor(FindLauncher, 10000);
    if (main == nullptr) {
        printf("%s no-launcher\n", command);
        return false;
    }
    if (strcmp(command, "window") == 0)
        return PrintWindow(main);
    if (strcmp(command, "buttons") == 0)
        return PrintButtons(main);
    if (strncmp(command, "hittest:", 8) == 0)
        return PrintHitTest(main, command + 8);
    if (strncmp(command, "box:", 4) == 0)
        return HandleBox(main, atoi(command + 4));
    if (strncmp(command, "nobox:", 6) == 0)
        return ExpectNoBox(atoi(command + 6));
    if (strcmp(command, "restore") == 0) {
        ShowWindow(main, SW_RESTORE);
        printf("restore done\n");
        return true;
    }
    printf("%s unknown\n", command);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        ok = RunCommand(argv[i]) && ok;
        fflush(stdout);
    }
    return ok ? 0 : 1;
}
