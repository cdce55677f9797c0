// Stand-in for a newer launcher build served by the share: records where it runs from and
// its working folder in new_launcher_started.txt next to itself, then ends.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <string>

int main() {
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    char folder[MAX_PATH] = {};
    strcpy(folder, module);
    char* slash = strrchr(folder, '\\');
    if (slash != nullptr)
        slash[1] = '\0';
    char workingDir[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, workingDir);

    std::string record = std::string("module=") + module + "\ncwd=" + workingDir + "\n";
    std::string temporary = std::string(folder) + "new_launcher_started.tmp";
    std::string final = std::string(folder) + "new_launcher_started.txt";
    FILE* file = fopen(temporary.c_str(), "wb");
    if (file == nullptr)
        return 1;
    fwrite(record.data(), 1, record.size(), file);
    fclose(file);
    return MoveFileExA(temporary.c_str(), final.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
