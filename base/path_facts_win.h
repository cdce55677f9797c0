// What one attribute query tells about a path: whether it exists, is a folder, and its size.
#pragma once

struct PathFacts {
    bool exists;
    bool isDirectory;
    long long size;
};

PathFacts QueryPathFacts(const char* path);
