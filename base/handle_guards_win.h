// Small owners that close a kernel, registry or CryptoAPI handle on every path out of a scope.
// None can be copied, so none can be released twice.
#pragma once

#include <windows.h>
#include <wincrypt.h>

struct FileHandle {
    HANDLE handle;
    explicit FileHandle(HANDLE h) : handle(h) {}
    ~FileHandle() { Close(); }
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

// Declare the context before its hash objects, so the hashes are destroyed first.
struct CryptContext {
    HCRYPTPROV provider = 0;
    CryptContext() = default;
    ~CryptContext() {
        if (provider != 0)
            CryptReleaseContext(provider, 0);
    }
    CryptContext(const CryptContext&) = delete;
    CryptContext& operator=(const CryptContext&) = delete;
};

struct CryptHash {
    HCRYPTHASH hash = 0;
    CryptHash() = default;
    ~CryptHash() {
        if (hash != 0)
            CryptDestroyHash(hash);
    }
    CryptHash(const CryptHash&) = delete;
    CryptHash& operator=(const CryptHash&) = delete;
};
