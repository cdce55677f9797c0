// The one way to name a file inside the game folder: refused, never cut, when it does not fit.
#include "base/game_path.h"

#include <string.h>

bool GameFolderPath(const char* gameDir, const char* relative, char* out, size_t outSize) {
    const size_t folderLength = strlen(gameDir);
    const size_t length = folderLength + strlen(relative);
    if (outSize == 0)
        return false;
    out[0] = '\0';
    // An empty game folder is one the launcher could not find out: nothing may be named in it.
    if (folderLength == 0 || length > static_cast<size_t>(kLocalPathLimit) || length >= outSize)
        return false;
    memcpy(out, gameDir, folderLength);
    memcpy(out + folderLength, relative, length - folderLength + 1);
    for (char* p = out; *p != '\0'; ++p) {
        if (*p == '/')
            *p = '\\';
    }
    return true;
}
