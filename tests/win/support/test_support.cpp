// Shared fixtures of the Windows tests: the local patch server, game folders, file helpers,
// and the two workers run as the launcher runs them.
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
#include "patch/chunk_index.h"
#include "patch/chunker.h"
#include "patch/patch_run_win.h"

namespace {

std::string EnvOrDie(const char* name) {
    const char* value = getenv(name);
    if (value == nullptr || *value == '\0') {
        fprintf(stderr, "%s is not set: run this test through the harness (ctest)\n", name);
        exit(2);
    }
    return value;
}

std::string ServedPath(const std::string& relativePath) {
    std::string path = ServerDir() + "\\www\\" + relativePath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// The window the workers invalidate and post to: a message-only window of this thread.
HWND TestMainWindow() {
    static HWND window =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    return window;
}

}  // namespace

std::string ServerDir() {
    return FromUnix(EnvOrDie("SKH_TEST_SERVER_DIR"));
}

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

void ServeFile(const std::string& relativePath, const std::string& content) {
    std::string path = ServedPath(relativePath);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteFileBytes(path, content);
}

void RemoveServedFile(const std::string& relativePath) {
    DeleteFileA(ServedPath(relativePath).c_str());
}

void SetFault(const std::string& requestPath, const std::string& fault) {
    std::string path = ServerDir() + "\\faults.txt";
    WriteFileBytes(path, ReadFileBytes(path) + requestPath + " " + fault + "\n");
}

void ClearFaults() {
    DeleteFileA((ServerDir() + "\\faults.txt").c_str());
    DeleteFileA((ServerDir() + "\\faults.used").c_str());
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

void ClearRequests() {
    DeleteFileA((ServerDir() + "\\requests.log").c_str());
}

int CountRequests(const std::string& requestPath) {
    int count = 0;
    for (const RequestRecord& record : ReadRequests())
        count += record.path == requestPath;
    return count;
}

std::vector<std::string> RequestedBelow(const std::string& prefix) {
    std::vector<std::string> out;
    for (const RequestRecord& record : ReadRequests()) {
        if (record.path.rfind(prefix, 0) == 0)
            out.push_back(record.path);
    }
    return out;
}

std::string TestRoot() {
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    *strrchr(module, '.') = '\0';
    CreateDirectoryA("C:\\skh-tests", nullptr);
    std::string root = "C:\\skh-tests\\" + std::string(strrchr(module, '\\') + 1) + "\\";
    CreateDirectoryA(root.c_str(), nullptr);
    return root;
}

std::string MakeGameDir(const std::string& name) {
    static int made = 0;
    std::string folder = TestRoot() + name + "-" + std::to_string(++made);
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder + "\\";
}

std::string StandInPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    *(strrchr(path, '\\') + 1) = '\0';
    return std::string(path) + "stand_in.exe";
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

bool DirectoryExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
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
    memset(gState.newsItems, 0, sizeof(gState.newsItems));
    TakeStatusLog();
    DrainPostedMessages(WM_PATCH_FINISHED);
    DrainPostedMessages(WM_NEWS_READY);
    ClearFaults();
    ClearRequests();
}

int DrainPostedMessages(UINT message) {
    int count = 0;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, message, message, PM_REMOVE))
        ++count;
    return count;
}

PatchRunResult RunPatchThread() {
    PatchRunResult result = {0, false, "", 0, {}};
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, PatchThreadProc, nullptr, 0, nullptr));
    // Other messages (the status area's paints) are served, as the launcher's loop does.
    for (bool ended = false; !ended;) {
        ended =
            MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message != WM_PATCH_FINISHED) {
                DispatchMessageA(&msg);
                continue;
            }
            ++result.finishedMessages;
            result.flagSetWhenPosted = gState.patchFinished.load() == 1;
        }
    }
    CloseHandle(thread);
    char status[kStatusTextSize];
    ReadStatusText(status);
    result.finalStatus = status;
    result.finalPercent = gState.progressPercent.load();
    result.steps = TakeStatusLog();
    return result;
}

HANDLE LastOfNewHandles() {
    HANDLE probes[256];
    for (HANDLE& probe : probes)
        probe = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    for (HANDLE probe : probes)
        CloseHandle(probe);
    return probes[255];
}

int RunNewsThread() {
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, NewsThreadProc, nullptr, 0, nullptr));
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return DrainPostedMessages(WM_NEWS_READY);
}

namespace {

// CryptoAPI's SHA-256 (or SHA-1) fed piece by piece; zeros zero bytes first.
struct Sha256State {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    explicit Sha256State(ALG_ID algorithm = CALG_SHA_256) {
        CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT);
        CryptCreateHash(provider, algorithm, 0, 0, &hash);
    }
    ~Sha256State() {
        CryptDestroyHash(hash);
        CryptReleaseContext(provider, 0);
    }
    void Add(const char* data, size_t size) {
        CryptHashData(hash, reinterpret_cast<const BYTE*>(data), static_cast<DWORD>(size), 0);
    }
    void AddZeros(int64_t count) {
        static const std::string zeros(1 << 20, '\0');
        for (; count > 0; count -= zeros.size())
            Add(zeros.data(), count < static_cast<int64_t>(zeros.size()) ? count : zeros.size());
    }
    void Finish(unsigned char* out) {
        DWORD length = kSha256Bytes;
        CryptGetHashParam(hash, HP_HASHVAL, out, &length, 0);
    }
};

void Sha256(const char* data, size_t size, unsigned char* out) {
    Sha256State state;
    state.Add(data, size);
    state.Finish(out);
}

}  // namespace

std::string Sha256Hex(const std::string& bytes) {
    unsigned char digest[kSha256Bytes];
    char hex[kSha256Length + 1];
    Sha256(bytes.data(), bytes.size(), digest);
    WriteLowerHex(digest, kSha256Bytes, hex);
    return hex;
}

std::string Sha1Hex(const std::string& bytes) {
    unsigned char digest[kDigestBytes];
    char hex[kDigestLength + 1];
    Sha256State state(CALG_SHA1);
    state.Add(bytes.data(), bytes.size());
    DWORD length = kDigestBytes;
    CryptGetHashParam(state.hash, HP_HASHVAL, digest, &length, 0);
    WriteLowerHex(digest, kDigestBytes, hex);
    return hex;
}

std::string ChunkIndexFor(const std::string& content, bool wrongDigest, int64_t zeros) {
    ChunkIndex index;
    index.fileSize = zeros + static_cast<int64_t>(content.size());
    Sha256State whole;
    whole.AddZeros(zeros);
    whole.Add(content.data(), content.size());
    whole.Finish(index.fileSha256);
    index.fileSha256[0] ^= wrongDigest ? 1 : 0;
    ChunkRecord zeroChunk = {0, kChunkMaxSize, {}};
    const std::string zeroBytes(kChunkMaxSize, '\0');
    Sha256(zeroBytes.data(), zeroBytes.size(), zeroChunk.sha256);
    for (; zeroChunk.offset < zeros; zeroChunk.offset += kChunkMaxSize)
        index.chunks.push_back(zeroChunk);
    ChunkCutter cutter;
    const auto* data = reinterpret_cast<const unsigned char*>(content.data());
    for (size_t start = 0, at = 0; at < content.size();) {
        bool cut = false;
        at += FindChunkEnd(&cutter, data + at, content.size() - at, &cut);
        if (!cut && at < content.size())
            continue;
        ChunkRecord record = {
            zeros + static_cast<int64_t>(start), static_cast<uint32_t>(at - start), {}};
        Sha256(content.data() + start, at - start, record.sha256);
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

void ServeSparseFile(const std::string& relativePath, int64_t zeros, const std::string& tail) {
    WriteSparseFile(ServedPath(relativePath), zeros, tail);
}
