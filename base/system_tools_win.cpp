// The launcher's system tools folder: Windows's own, never the game folder.
#include "base/system_tools_win.h"

#include <windows.h>

bool SystemToolsFolder(char* out, size_t outSize) {
    const UINT length = GetSystemDirectoryA(out, static_cast<UINT>(outSize));
    return length > 0 && length < outSize;
}
