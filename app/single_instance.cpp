// One launcher per game folder: the name of the folder's guard.
#include "app/single_instance.h"

#include <stdio.h>

uint64_t GameFolderKey(const char* gameDir) {
    uint64_t hash = 14695981039346656037ULL;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(gameDir); *p != '\0';
         ++p) {
        unsigned char c = (*p >= 'A' && *p <= 'Z') ? static_cast<unsigned char>(*p + 32) : *p;
        hash = (hash ^ c) * 1099511628211ULL;
    }
    return hash;
}

void GameFolderGuardName(uint64_t key, char* out) {
    snprintf(out, kGuardNameSize, "Local\\SKH2026Patcher-%016llx",
             static_cast<unsigned long long>(key));
}
