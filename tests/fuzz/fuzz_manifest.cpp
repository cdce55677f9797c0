// Fuzzes the manifest line splitter, entry parser, decision table and path rules together.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "base/game_path.h"
#include "base/text_lines.h"
#include "patch/manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    const int lineTotal = CountManifestLines(text.data());
    if (lineTotal < 1)
        __builtin_trap();
    char* cursor = text.data();
    int n = 0;
    char local[260];
    char encoded[2048];
    while (char* line = NextLine(&cursor)) {
        if (strpbrk(line, "\r\n") != nullptr)
            __builtin_trap();
        ManifestEntry entry;
        if (!ParseManifestEntry(line, &entry))
            continue;
        ++n;
        int percent = ManifestProgress(n, lineTotal);
        if (percent < 5 || percent > 95)
            __builtin_trap();
        bool refused = IsRefusedPath(entry.path);
        if (!refused && GameFolderPath("C:\\Game\\", entry.path, local, sizeof(local))) {
            if (strlen(local) > 259 || strchr(local, '/') != nullptr)
                __builtin_trap();
            if (strstr(local + 8, ":") != nullptr)
                __builtin_trap();
        }
        if (EncodeUrlPath(entry.path, encoded, sizeof(encoded)) && strlen(encoded) > 2047) {
            __builtin_trap();
        }
        DecideEntry(true, false, entry.size, entry.size, entry.digest, true);
        DecideAfterHash(true, "0123456789abcdef0123456789abcdef01234567", entry.digest);
    }
    return 0;
}
