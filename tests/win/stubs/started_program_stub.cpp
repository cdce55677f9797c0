// Stand-in for SKH2026.exe and setrovia.exe: records where and how it was started in
// "<its own path>.started" (working directory, then command line), then ends at once.
#include <windows.h>
#include <stdio.h>

int main() {
    char modulePath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, modulePath, sizeof(modulePath));
    char workingDir[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof(workingDir), workingDir);

    char recordPath[MAX_PATH + 16];
    snprintf(recordPath, sizeof(recordPath), "%s.started", modulePath);
    // Appends, so a test also sees a program started twice.
    FILE* record = fopen(recordPath, "ab");
    if (record == nullptr)
        return 1;
    fprintf(record, "cwd=%s\ncmd=%s\n", workingDir, GetCommandLineA());
    fclose(record);
    return 0;
}
