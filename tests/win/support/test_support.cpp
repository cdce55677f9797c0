// Shared fixtures of the Windows tests (see test_support.h).
#include <winsock2.h>

#include "support/test_support.h"

#include <process.h>
#include <wincrypt.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/launcher_state_win.h"
#include "base/lower_hex.h"
#include "base/status_win.h"
#include "news/news_thread_win.h"
#include "patch/chunk_fingerprint.h"
#include "patch/chunk_index.h"
#include "patch/chunker.h"
#include "patch/patch_run_win.h"
#include "support/import_hook.h"

namespace {

std::string EnvOrDie(const char* name) {
    const char* value = getenv(name);
    if (value == nullptr || *value == '\0') {
        fprintf(stderr, "%s is not set: run this test through the harness (ctest)\n", name);
        exit(2);
    }
    return value;
}

std::filesystem::path ThisProgram() {
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    return module;
}

std::string ServedPath(const std::string& relativePath) {
    return FromUnix(EnvOrDie("SKH_TEST_SERVER_DIR") + "/www/" + relativePath);
}

// What the workers had published when they posted, read inside PostMessageA: a store placed
// after the post would still be seen by the time this thread took the message.
int gFlagWhenPosted = -1;
int gNewsCountWhenPosted = -2;
void* gRealPostMessage = nullptr;

BOOL WINAPI PostNotingState(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PATCH_FINISHED)
        gFlagWhenPosted = gState.patchFinished.load();
    if (message == WM_NEWS_READY)
        gNewsCountWhenPosted = gState.newsCount.load();
    return reinterpret_cast<decltype(&PostMessageA)>(gRealPostMessage)(window, message, wParam,
                                                                       lParam);
}

// The window the workers invalidate and post to: a message-only window of this thread.
HWND TestMainWindow() {
    static HWND window = [] {
        gRealPostMessage =
            RedirectImport("USER32.dll", "PostMessageA", reinterpret_cast<void*>(PostNotingState));
        return CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                               nullptr);
    }();
    return window;
}

int DrainPostedMessages(UINT message) {
    int count = 0;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, message, message, PM_REMOVE))
        ++count;
    return count;
}

// CryptoAPI's SHA-256 (or SHA-1) fed piece by piece.
struct Hasher {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    explicit Hasher(ALG_ID algorithm = CALG_SHA_256) {
        CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT);
        CryptCreateHash(provider, algorithm, 0, 0, &hash);
    }
    ~Hasher() {
        CryptDestroyHash(hash);
        CryptReleaseContext(provider, 0);
    }
    Hasher& Add(const char* data, size_t size) {
        CryptHashData(hash, reinterpret_cast<const BYTE*>(data), static_cast<DWORD>(size), 0);
        return *this;
    }
    // Writes the digest (at most kSha256Bytes) and returns its length.
    DWORD Finish(unsigned char* out) {
        DWORD length = kSha256Bytes;
        CryptGetHashParam(hash, HP_HASHVAL, out, &length, 0);
        return length;
    }
};

std::string ServerDir() {
    return FromUnix(EnvOrDie("SKH_TEST_SERVER_DIR"));
}

}  // namespace

std::string FromUnix(const std::string& unixPath) {
    std::string out = "Z:" + unixPath;
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

std::string ServerUrl() {
    return EnvOrDie("SKH_TEST_SERVER_URL");
}

std::string DeadServerUrl() {
    // A port this process holds bound and never listens on: every connection to it is
    // refused, and no other program can take it while the tests run.
    static const int port = [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        SOCKET held = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof(address);
        if (held == INVALID_SOCKET ||
            bind(held, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            getsockname(held, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            fprintf(stderr, "cannot hold a closed port\n");
            exit(1);
        }
        return static_cast<int>(ntohs(address.sin_port));
    }();
    return "https://localhost:" + std::to_string(port);
}

void ServeFile(const std::string& relativePath, const std::string& content, int64_t zeros) {
    std::string path = ServedPath(relativePath);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteSparseFile(path, zeros, content);
}

void RemoveServedFile(const std::string& relativePath) {
    DeleteFileA(ServedPath(relativePath).c_str());
}

void SetFault(const std::string& requestPath, const std::string& fault) {
    std::string path = ServerDir() + "\\faults.txt";
    WriteFileBytes(path, ReadFileBytes(path) + requestPath + " " + fault + "\n");
}

std::vector<RequestRecord> ReadRequests() {
    std::vector<RequestRecord> out;
    std::istringstream lines(ReadFileBytes(ServerDir() + "\\requests.log"));
    std::string line;
    while (std::getline(lines, line)) {
        size_t path = line.find('\t') + 1;
        out.push_back({line.substr(path, line.find('\t', path) - path), line});
    }
    return out;
}

int CountRequests(const std::string& requestPath) {
    int count = 0;
    for (const RequestRecord& record : ReadRequests())
        count += record.path == requestPath;
    return count;
}

std::string TestRoot() {
    const std::string root = "C:\\skh-tests\\" + ThisProgram().stem().string();
    std::filesystem::create_directories(root);
    return root + "\\";
}

std::string MakeGameDir(const std::string& name) {
    static int made = 0;
    std::string folder = TestRoot() + name + "-" + std::to_string(++made);
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder + "\\";
}

std::string StandInPath() {
    return ThisProgram().replace_filename("stand_in.exe").string();
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFileBytes(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

bool FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> ListFilesRecursive(const std::string& folder) {
    std::vector<std::string> out;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
        if (!entry.is_directory())
            out.push_back(std::filesystem::relative(entry.path(), folder).string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

void ResetLauncherForRun(const std::string& gameDir, const std::string& root) {
    SetPatchRootForTests(root.c_str());
    snprintf(gState.gameDir, sizeof(gState.gameDir), "%s", gameDir.c_str());
    gState.mainWindow = TestMainWindow();
    SetStatus("Memulai...", 0);
    gState.patchFinished.store(0);
    gState.newsCount.store(-1);
    TakeStatusLog();
    DrainPostedMessages(0);
    for (const char* name : {"faults.txt", "faults.used", "requests.log"})
        DeleteFileA((ServerDir() + "\\" + name).c_str());
}

PatchRunResult RunPatchThread() {
    PatchRunResult result = {0, false, "", 0, {}};
    gFlagWhenPosted = -1;
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, PatchThreadProc, nullptr, 0, nullptr));
    // Other messages (the status area's paints) are served, as the launcher's loop does.
    for (bool ended = false; !ended;) {
        ended =
            MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_PATCH_FINISHED)
                ++result.finishedMessages;
            else
                DispatchMessageA(&msg);
        }
    }
    CloseHandle(thread);
    result.flagSetWhenPosted = gFlagWhenPosted == 1;
    char status[kStatusTextSize];
    ReadStatusText(status);
    result.finalStatus = status;
    result.finalPercent = gState.progressPercent.load();
    result.steps = TakeStatusLog();
    return result;
}

NewsRunResult RunNewsThread() {
    gNewsCountWhenPosted = -2;
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, NewsThreadProc, nullptr, 0, nullptr));
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return {DrainPostedMessages(WM_NEWS_READY), gNewsCountWhenPosted};
}

std::string HexDigest(ALG_ID algorithm, const std::string& bytes) {
    unsigned char digest[kSha256Bytes];
    char hex[2 * kSha256Bytes + 1];
    WriteLowerHex(digest, Hasher(algorithm).Add(bytes.data(), bytes.size()).Finish(digest), hex);
    return hex;
}

namespace {

uint64_t FingerprintOf(const char* data, size_t size) {
    ChunkFingerprinter fingerprinter;
    AddToFingerprint(&fingerprinter, reinterpret_cast<const unsigned char*>(data), size);
    return FinishFingerprint(&fingerprinter);
}

}  // namespace

std::string ChunkIndexFor(const std::string& content, bool wrongDigest, int64_t zeros) {
    ChunkIndex index;
    index.fileSize = zeros + static_cast<int64_t>(content.size());
    Hasher whole;
    const std::string zeroBytes(kChunkMaxSize, '\0');
    ChunkRecord zeroChunk = {0, kChunkMaxSize, {}};
    Hasher().Add(zeroBytes.data(), zeroBytes.size()).Finish(zeroChunk.sha256);
    zeroChunk.fingerprint = FingerprintOf(zeroBytes.data(), zeroBytes.size());
    for (; zeroChunk.offset < zeros; zeroChunk.offset += kChunkMaxSize) {
        index.chunks.push_back(zeroChunk);
        whole.Add(zeroBytes.data(), zeroBytes.size());
    }
    whole.Add(content.data(), content.size()).Finish(index.fileSha256);
    index.fileSha256[0] ^= wrongDigest ? 1 : 0;
    ChunkCutter cutter;
    const auto* data = reinterpret_cast<const unsigned char*>(content.data());
    for (size_t start = 0, at = 0; at < content.size();) {
        bool cut = false;
        at += FindChunkEnd(&cutter, data + at, content.size() - at, &cut);
        if (!cut && at < content.size())
            continue;
        ChunkRecord record = {
            zeros + static_cast<int64_t>(start), static_cast<uint32_t>(at - start), {}};
        Hasher().Add(content.data() + start, at - start).Finish(record.sha256);
        record.fingerprint = FingerprintOf(content.data() + start, at - start);
        index.chunks.push_back(record);
        start = at;
    }
    return WriteChunkIndex(index);
}

void WriteSparseFile(const std::string& path, int64_t zeros, const std::string& tail) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER at;
    at.QuadPart = zeros;
    SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    DWORD written = 0;
    WriteFile(file, tail.data(), static_cast<DWORD>(tail.size()), &written, nullptr);
    CloseHandle(file);
}
