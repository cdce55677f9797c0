// The launcher's own small files in the game folder: the state file, its records, its script.
#include "base/game_files_win.h"

#include <windows.h>

#include "base/game_path.h"
#include "base/launcher_state_win.h"
#include "base/stdio_file.h"

void ReadGameFile(const char* name, char* out, size_t outSize) {
    out[0] = '\0';
    char path[kPathSize];
    if (!GameFolderPath(gState.gameDir, name, path, sizeof(path)))
        return;
    StdioFile file(fopen(path, "rb"));
    if (file.file != nullptr)
        out[fread(out, 1, outSize - 1, file.file)] = '\0';
}

bool WriteGameFile(const char* name, const char* bytes, size_t size) {
    char path[kPathSize];
    if (!GameFolderPath(gState.gameDir, name, path, sizeof(path)))
        return false;
    StdioFile file(fopen(path, "wb"));
    if (file.file == nullptr)
        return false;
    const bool written = fwrite(bytes, 1, size, file.file) == size;
    if (file.Close() && written)
        return true;
    DeleteFileA(path);
    return false;
}

void DeleteGameFile(const char* name) {
    char path[kPathSize];
    if (GameFolderPath(gState.gameDir, name, path, sizeof(path)))
        DeleteFileA(path);
}
