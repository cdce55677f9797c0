// The tests' stand-in: a started program recording "cwd= args= show=" in <itself>.started, Wine's
// missing tasklist and find /i, and as stand_in.exe a probe of the launcher's windows and boxes.
#include <windows.h>
#include <shlwapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

HWND FindLauncher() {
    HWND window = FindWindowA("SKH2026Patcher", nullptr);
    return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

HWND FindBox() {
    return FindWindowA("#32770", "SKH 2026");
}

// Polls find every 50 ms until it answers found, or for milliseconds at most.
HWND WaitFor(HWND (*find)(), int milliseconds, bool found = true) {
    for (int waited = 0;; waited += 50) {
        HWND window = find();
        if ((window != nullptr) == found || waited >= milliseconds)
            return window;
        Sleep(50);
    }
}

bool RunCommand(const char* command) {
    if (strcmp(command, "count") == 0) {
        int count = 0;
        for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "SKH2026Patcher", nullptr));)
            count += IsWindowVisible(w) ? 1 : 0;
        printf("count=%d\n", count);
        return true;
    }
    if (strncmp(command, "sleep:", 6) == 0) {
        Sleep(atoi(command + 6));
        return true;
    }
    HWND main = WaitFor(FindLauncher, 10000);
    if (main == nullptr) {
        printf("%s no-launcher\n", command);
        return false;
    }
    if (strcmp(command, "window") == 0) {
        RECT rect;
        GetWindowRect(main, &rect);
        printf("rect=%ld,%ld,%ld,%ld iconic=%d\n", rect.left, rect.top, rect.right, rect.bottom,
               IsIconic(main) ? 1 : 0);
        return true;
    }
    if (strcmp(command, "restore") == 0) {
        ShowWindow(main, SW_RESTORE);
        return true;
    }
    if (strncmp(command, "box:", 4) == 0) {
        HWND box = WaitFor(FindBox, atoi(command + 4));
        if (box == nullptr) {
            printf("box none\n");
            return false;
        }
        // The text of a message box is its static control with identifier 0xFFFF.
        char text[512] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
        printf("box owner=%s text=%s\n", GetWindow(box, GW_OWNER) == main ? "launcher" : "other",
               text);
        fflush(stdout);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        return WaitFor(FindBox, 5000, false) == nullptr;
    }
    printf("%s unknown\n", command);
    return false;
}

int RecordStart(const std::string& module) {
    Sleep(500);  // late, so that a caller that does not wait for it is seen not to
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, folder);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    const char* named = getenv("SKH_TEST_START_RECORD");  // for a copy deleted after it ran
    const std::string record = named != nullptr ? named : module + ".started";
    const char* args = PathGetArgsA(GetCommandLineA());
    const std::string line = "cwd=" + std::string(folder) + " args=" + (args + strspn(args, " ")) +
                             " show=" + std::to_string(show) + "\n";
    // Added to a copy of the earlier starts, then renamed: a test never reads it half written.
    const std::string aside = record + ".tmp";
    if (!CopyFileA(record.c_str(), aside.c_str(), FALSE))
        DeleteFileA(aside.c_str());
    FILE* file = fopen(aside.c_str(), "ab");
    if (file == nullptr || fwrite(line.data(), 1, line.size(), file) != line.size() ||
        fclose(file) != 0)
        return 1;
    return MoveFileExA(aside.c_str(), record.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}

int ListProcesses(const char* module, int argc, char** argv) {
    unsigned long id = 0;
    std::string image;
    for (int i = 2; i < argc; i += 2) {
        if (_strnicmp(argv[i], "imagename eq ", 13) == 0)
            image = argv[i] + 13;
        else if (sscanf(argv[i], "pid eq %lu", &id) != 1)
            return 1;
    }
    // Lists only the process asked for, and only while a file "running" lies beside it.
    const std::string folder(module, strrchr(module, '\\') - module);
    if (GetFileAttributesA((folder + "\\running").c_str()) != INVALID_FILE_ATTRIBUTES)
        printf("%s %lu\n", image.c_str(), id);
    return 0;
}

int FindText(int argc, char** argv) {
    if (argc != 3 || _stricmp(argv[1], "/i") != 0)
        return 2;
    char line[1024];
    while (fgets(line, sizeof(line), stdin) != nullptr)
        if (StrStrIA(line, argv[2]) != nullptr)
            return 0;
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    const char* name = strrchr(module, '\\') + 1;
    if (_stricmp(name, "stand_in.exe") != 0) {
        const int recorded = RecordStart(module);
        if (_stricmp(name, "tasklist.exe") == 0)
            return ListProcesses(module, argc, argv);
        return _stricmp(name, "find.exe") == 0 ? FindText(argc, argv) : recorded;
    }
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        ok = RunCommand(argv[i]) && ok;
        fflush(stdout);
    }
    return ok ? 0 : 1;
}
