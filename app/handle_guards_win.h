// Small owners that close a kernel or registry handle on every path out of a scope.
#pragma once

#include <windows.h>

struct FileHandle {
    HANDLE handle;
    explicit FileHandle(HANDLE h) : handle(h) {}
    ~FileHandle() {
        if (handle != INVALID_HANDLE_VALUE && handle != nullptr)
            CloseHandle(handle);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool IsOpen() const { return handle != INVALID_HANDLE_VALUE && handle != nullptr; }
    // Closes early so that the file can be examined by name while the scope goes on.
    void Close() {
        if (IsOpen())
            CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
};

struct RegistryKey {
    HKEY key = nullptr;
    RegistryKey() = default;
    ~RegistryKey() {
        if (key != nullptr)
            RegCloseKey(key);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
};

// File facts from one attribute query: whether the path exists, is a directory, and its size.
struct PathFacts {
    bool exists;
    bool isDirectory;
    long long size;
};

inline PathFacts QueryPathFacts(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return {false, false, 0};
    long long size = (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return {true, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0, size};
}
