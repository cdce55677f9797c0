// Owns a FILE* from fopen and closes it on every path out of a scope.
#pragma once

#include <stdio.h>

struct StdioFile {
    FILE* file;
    explicit StdioFile(FILE* f) : file(f) {}
    ~StdioFile() { Close(); }
    StdioFile(const StdioFile&) = delete;
    StdioFile& operator=(const StdioFile&) = delete;
    // Closes now; false when the file could not be flushed and closed cleanly.
    bool Close() {
        if (file == nullptr)
            return false;
        bool ok = fclose(file) == 0;
        file = nullptr;
        return ok;
    }
};
