// Times the launcher's own stages inside one Wine process, so Wine's start-up is not counted.
//   bench_driver manifest-stage GAME_DIR MANIFEST_FILE CHANGED   the manifest stage alone
//   bench_driver patch-run ROOT GAME_DIR                         a whole patch run
//   bench_driver fetch-text URL                                  fetch and parse a manifest
//   bench_driver bare-wininet LIST_FILE [DIR]                    the platform's own ceiling:
//       every address in the file fetched with a bare WinINet loop, nothing stored; with DIR,
//       each body written straight under DIR at its path below the tree, unchecked, as the
//       launcher stored downloads before they went through a checked part file
//   bench_driver bare-sha1 LIST_FILE                             the platform's own ceiling:
//       every file in the list hashed with a bare CryptoAPI loop
//   bench_driver bare-sha256 LIST_FILE                           the same with SHA-256
#include <windows.h>
#include <wininet.h>
#include <wincrypt.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/http_win.h"
#include "base/server_files.h"
#include "base/launcher_state_win.h"
#include "base/server_urls.h"
#include "base/status_win.h"
#include "base/text_lines.h"
#include "patch/manifest.h"
#include "patch/manifest_win.h"
#include "patch/patch_run_win.h"
#include "patch/runtime_win.h"
#include "patch/self_update_win.h"
#include "test_seams.h"

namespace {

double Now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::string ReadWhole(const char* path) {
    std::string out;
    FILE* file = fopen(path, "rb");
    if (file == nullptr)
        return out;
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), file)) > 0)
        out.append(buffer, got);
    fclose(file);
    return out;
}

void UseGameDir(const char* folder) {
    snprintf(gState.gameDir, sizeof(gState.gameDir), "%s", folder);
    size_t length = strlen(gState.gameDir);
    if (length > 0 && gState.gameDir[length - 1] != '\\' && length + 1 < sizeof(gState.gameDir)) {
        strcat(gState.gameDir, "\\");
    }
}

int ManifestStage(const char* gameDir, const char* manifestFile, bool changed) {
    UseGameDir(gameDir);
    std::string manifest = ReadWhole(manifestFile);
    double start = Now();
    ManifestCounts counts = RunManifestCheck(&manifest[0], changed, false);
    double seconds = Now() - start;
    printf("seconds=%.6f downloaded=%d failed=%d\n", seconds, counts.downloadedCount,
           counts.failedCount);
    return counts.failedCount == 0 ? 0 : 1;
}

int PatchRun(const char* root, const char* gameDir) {
    SetPatchRootForTests(root);
    UseGameDir(gameDir);
    double start = Now();
    PatchThreadProc(nullptr);
    double seconds = Now() - start;
    char status[kStatusTextSize];
    ReadStatusText(status);
    printf("seconds=%.6f status=%s\n", seconds, status);
    return strstr(status, "gagal") == nullptr && strstr(status, "offline") == nullptr ? 0 : 1;
}

int FetchText(const char* url) {
    double start = Now();
    FetchedText text = HttpFetchText(url, kManifestTextLimit);
    double fetched = Now();
    if (text.text == nullptr) {
        printf("fetch failed\n");
        return 1;
    }
    const int length = text.length;
    int lineTotal = CountManifestLines(text.text);
    int entries = 0;
    char* cursor = text.text;
    while (char* line = NextLine(&cursor)) {
        ManifestEntry entry;
        entries += ParseManifestEntry(line, &entry) ? 1 : 0;
    }
    double parsed = Now();
    printf("fetch_seconds=%.6f parse_seconds=%.6f bytes=%d lines=%d entries=%d\n", fetched - start,
           parsed - fetched, length, lineTotal, entries);
    return 0;
}

// The same identity, flags and 64 KiB reads as the launcher, without status, checks or retries;
// with a folder, each body written straight onto its file there.
int BareWinInet(const char* listFile, const char* folder) {
    std::string list = ReadWhole(listFile);
    static char chunk[65536];
    long long total = 0;
    double start = Now();
    size_t position = 0;
    while (position < list.size()) {
        size_t end = list.find('\n', position);
        if (end == std::string::npos)
            end = list.size();
        std::string url = list.substr(position, end - position);
        position = end + 1;
        if (url.empty())
            continue;
        HINTERNET session =
            InternetOpenA("SKH2026-Patcher/1.0", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        HINTERNET request = InternetOpenUrlA(
            session, url.c_str(), nullptr, 0,
            INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE, 0);
        HANDLE file = INVALID_HANDLE_VALUE;
        if (folder != nullptr) {
            std::string path = std::string(folder) + "\\" + url.substr(url.find("/skh-full/") + 10);
            for (char& c : path)
                c = c == '/' ? '\\' : c;
            for (size_t at = path.find('\\', strlen(folder) + 1); at != std::string::npos;
                 at = path.find('\\', at + 1)) {
                CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
            }
            file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        }
        DWORD got = 0;
        while (request != nullptr && InternetReadFile(request, chunk, sizeof(chunk), &got) &&
               got > 0) {
            DWORD written = 0;
            if (file != INVALID_HANDLE_VALUE)
                WriteFile(file, chunk, got, &written, nullptr);
            total += got;
        }
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        if (request != nullptr)
            InternetCloseHandle(request);
        InternetCloseHandle(session);
    }
    printf("seconds=%.6f bytes=%lld\n", Now() - start, total);
    return 0;
}

// CryptoAPI's SHA-1 or SHA-256 over each listed file with 64 KiB reads, nothing else.
int BareHash(const char* listFile, DWORD providerType, ALG_ID algorithm) {
    std::string list = ReadWhole(listFile);
    static BYTE chunk[65536];
    long long total = 0;
    double start = Now();
    HCRYPTPROV provider = 0;
    CryptAcquireContextA(&provider, nullptr, nullptr, providerType, CRYPT_VERIFYCONTEXT);
    size_t position = 0;
    while (position < list.size()) {
        size_t end = list.find('\n', position);
        if (end == std::string::npos)
            end = list.size();
        std::string path = list.substr(position, end - position);
        position = end + 1;
        if (path.empty())
            continue;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        HCRYPTHASH hash = 0;
        CryptCreateHash(provider, algorithm, 0, 0, &hash);
        DWORD got = 0;
        while (ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0) {
            CryptHashData(hash, chunk, got, 0);
            total += got;
        }
        BYTE digest[32];
        DWORD size = sizeof(digest);
        CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0);
        CryptDestroyHash(hash);
        CloseHandle(file);
    }
    CryptReleaseContext(provider, 0);
    printf("seconds=%.6f bytes=%lld\n", Now() - start, total);
    return 0;
}

// The launcher's workers always invalidate a real window; a null handle would make every
// status update invalidate the whole desktop instead.
HWND CreateHiddenMainWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "SkhBenchWindow";
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, "SkhBenchWindow", "bench", WS_POPUP, 0, 0, 820, 520, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    gState.mainWindow = CreateHiddenMainWindow();
    SetStatusRecording(false);
    if (argc == 5 && strcmp(argv[1], "manifest-stage") == 0) {
        return ManifestStage(argv[2], argv[3], strcmp(argv[4], "1") == 0);
    }
    if (argc == 4 && strcmp(argv[1], "patch-run") == 0)
        return PatchRun(argv[2], argv[3]);
    if (argc == 3 && strcmp(argv[1], "fetch-text") == 0)
        return FetchText(argv[2]);
    if ((argc == 3 || argc == 4) && strcmp(argv[1], "bare-wininet") == 0)
        return BareWinInet(argv[2], argc == 4 ? argv[3] : nullptr);
    if (argc == 3 && strcmp(argv[1], "bare-sha1") == 0)
        return BareHash(argv[2], PROV_RSA_FULL, CALG_SHA1);
    if (argc == 3 && strcmp(argv[1], "bare-sha256") == 0)
        return BareHash(argv[2], PROV_RSA_AES, CALG_SHA_256);
    fprintf(stderr, "usage: see the comment at the top of bench_driver.cpp\n");
    return 2;
}
