// Stand-in for _Runtime\vc_redist.x86.exe: after a pause, records how it was started in
// vc_redist.record.txt next to itself, so a test can tell whether the launcher waited.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <string>

namespace {

// The command line without the program's own name.
std::string Arguments() {
    const char* line = GetCommandLineA();
    if (*line == '"') {
        line = strchr(line + 1, '"');
        line = line == nullptr ? "" : line + 1;
    } else {
        while (*line != '\0' && *line != ' ' && *line != '\t')
            ++line;
    }
    while (*line == ' ' || *line == '\t')
        ++line;
    return line;
}

}  // namespace

int main() {
    // Long enough that a launcher which does not wait is long gone before the record exists.
    Sleep(1500);
    char folder[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, folder, MAX_PATH);
    char* slash = strrchr(folder, '\\');
    if (slash != nullptr)
        slash[1] = '\0';
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;

    std::string record = "args=" + Arguments() + "\nshow=" + std::to_string(show) + "\n";
    std::string temporary = std::string(folder) + "vc_redist.record.tmp";
    std::string final = std::string(folder) + "vc_redist.record.txt";
    FILE* file = fopen(temporary.c_str(), "wb");
    if (file == nullptr)
        return 1;
    fwrite(record.data(), 1, record.size(), file);
    fclose(file);
    // Renamed into place, so the record never exists half written.
    return MoveFileExA(temporary.c_str(), final.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
