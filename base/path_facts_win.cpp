// What one attribute query tells about a path: whether it exists, is a folder, and its size.
#include "base/path_facts_win.h"

#include <windows.h>

PathFacts QueryPathFacts(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return {false, false, 0};
    long long size = (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return {true, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0, size};
}
