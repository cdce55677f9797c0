// The launcher's own small files in the game folder: the state file, its records, its script.
#include "base/game_files_win.h"

#include <windows.h>
#include <stdio.h>

#include "base/game_path.h"
#include "base/launcher_state_win.h"
#include "base/stdio_file.h"

namespace {

// Starts like the file it stands for, so the manifest's refusal of the launcher's own names
// covers it too.
constexpr char kTemporarySuffix[] = ".tmp";

}  // namespace

int ReadGameFile(const char* name, char* out, size_t outSize) {
    out[0] = '\0';
    char path[kPathSize];
    if (!GameFolderPath(gState.gameDir, name, path, sizeof(path)))
        return -1;
    StdioFile file(fopen(path, "rb"));
    if (file.file == nullptr) {
        const DWORD error =
            GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES ? GetLastError() : 0;
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : -1;
    }
    const size_t length = fread(out, 1, outSize - 1, file.file);
    out[length] = '\0';
    return ferror(file.file) ? -1 : static_cast<int>(length);
}

bool WriteGameFile(const char* name, const char* bytes, size_t size) {
    char path[kPathSize];
    char temporaryName[kPathSize];
    char temporary[kPathSize];
    snprintf(temporaryName, sizeof(temporaryName), "%s%s", name, kTemporarySuffix);
    if (!GameFolderPath(gState.gameDir, name, path, sizeof(path)) ||
        !GameFolderPath(gState.gameDir, temporaryName, temporary, sizeof(temporary))) {
        return false;
    }
    StdioFile file(fopen(temporary, "wb"));
    if (file.file == nullptr)
        return false;
    const bool written = fwrite(bytes, 1, size, file.file) == size;
    if (file.Close() && written &&
        MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    const DWORD error = GetLastError();
    DeleteFileA(temporary);
    SetLastError(error);
    return false;
}

void DeleteGameFile(const char* name) {
    char path[kPathSize];
    if (GameFolderPath(gState.gameDir, name, path, sizeof(path)))
        DeleteFileA(path);
}
