// Stand-in for every program the launcher starts (the game, the settings tool, the runtime
// installer, a newer launcher): after half a second, so that a caller that does not wait
// for it is seen not to, it adds how it was started to "<its own path>.started":
//   cwd=<working folder>  args=<command line after the program>  show=<SW_ value or -1>
// The record is replaced whole through a rename, so it is never seen half written.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <string>

namespace {

std::string Arguments() {
    const char* line = GetCommandLineA();
    if (*line == '"') {
        line = strchr(line + 1, '"');
        line = line == nullptr ? "" : line + 1;
    } else {
        line += strcspn(line, " \t");
    }
    return line + strspn(line, " \t");
}

}  // namespace

int main() {
    Sleep(500);
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, folder);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;

    const std::string record = std::string(module) + ".started";
    const std::string temporary = record + ".tmp";
    std::string text;
    if (FILE* old = fopen(record.c_str(), "rb")) {
        char buffer[4096];
        text.append(buffer, fread(buffer, 1, sizeof(buffer), old));
        fclose(old);
    }
    text += "cwd=" + std::string(folder) + " args=" + Arguments() +
            " show=" + std::to_string(show) + "\n";
    FILE* file = fopen(temporary.c_str(), "wb");
    if (file == nullptr)
        return 1;
    fwrite(text.data(), 1, text.size(), file);
    fclose(file);
    return MoveFileExA(temporary.c_str(), record.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
