// Shared fixtures of the Windows tests: the local patch server, game folders, file helpers.
#include "support/test_support.h"

#include <process.h>
#include <wincrypt.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "base/launcher_state_win.h"
#include "base/http_win.h"
#include "base/status_win.h"
#include "test_seams.h"
#include "base/server_urls.h"
#include "test_seams.h"
#include "patch/manifest_win.h"
#include "patch/patch_run_win.h"
#include "patch/runtime_win.h"
#include "patch/self_update_win.h"

namespace {

std::string EnvOrDie(const char* name) {
    const char* value = getenv(name);
    if (value == nullptr || *value == '\0') {
        fprintf(stderr, "%s is not set: run this test through the harness (ctest)\n", name);
        exit(2);
    }
    return value;
}

// The server's state folder as this process sees it (Wine's Z: drive maps the host root).
std::string ServerDir() {
    std::string unixPath = EnvOrDie("SKH_TEST_SERVER_DIR");
    std::string out = "Z:";
    for (char c : unixPath)
        out += (c == '/') ? '\\' : c;
    return out;
}

void MakeParents(const std::string& path) {
    for (size_t i = 3; i < path.size(); ++i) {
        if (path[i] == '\\')
            CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
    }
}

std::string ToBackslashes(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

void DeleteTree(const std::string& folder) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = folder + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(full);
            } else {
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}

void ListInto(const std::string& root, const std::string& relative, std::vector<std::string>& out) {
    WIN32_FIND_DATAA data;
    std::string folder = relative.empty() ? root : root + "\\" + relative;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = data.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string child = relative.empty() ? name : relative + "\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ListInto(root, child, out);
        } else {
            out.push_back(child);
        }
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

std::string ServerUrl() {
    return EnvOrDie("SKH_TEST_SERVER_URL");
}

std::string DeadServerUrl() {
    // The discard port: no test machine serves HTTPS there, so the connection is refused.
    return "https://localhost:9";
}

std::string ServedFilePath(const std::string& relativePath) {
    return ServerDir() + "\\www\\" + ToBackslashes(relativePath);
}

void ServeFile(const std::string& relativePath, const std::string& content) {
    std::string path = ServedFilePath(relativePath);
    MakeParents(path);
    WriteFileBytes(path, content);
}

void RemoveServedFile(const std::string& relativePath) {
    DeleteFileA(ServedFilePath(relativePath).c_str());
}

void SetFault(const std::string& requestPath, const std::string& fault) {
    std::string path = ServerDir() + "\\faults.txt";
    std::string text = FileExists(path) ? ReadFileBytes(path) : "";
    WriteFileBytes(path, text + requestPath + " " + fault + "\n");
}

void ClearFaults() {
    DeleteFileA((ServerDir() + "\\faults.txt").c_str());
}

std::string RequestRecord::Header(const std::string& name) const {
    std::string prefix = name + ": ";
    for (const std::string& header : headers) {
        if (header.size() >= prefix.size() &&
            _strnicmp(header.c_str(), prefix.c_str(), prefix.size()) == 0) {
            return header.substr(prefix.size());
        }
    }
    return "";
}

std::vector<RequestRecord> ReadRequests() {
    std::vector<RequestRecord> out;
    std::string path = ServerDir() + "\\requests.log";
    if (!FileExists(path))
        return out;
    std::istringstream lines(ReadFileBytes(path));
    std::string line;
    while (std::getline(lines, line)) {
        RequestRecord record;
        std::istringstream fields(line);
        std::string field;
        int index = 0;
        while (std::getline(fields, field, '\t')) {
            if (index == 0) {
                record.method = field;
            } else if (index == 1) {
                record.path = field;
            } else {
                record.headers.push_back(field);
            }
            ++index;
        }
        out.push_back(record);
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

std::string MakeGameDir(const std::string& name) {
    CreateDirectoryA("C:\\skh-tests", nullptr);
    std::string folder = "C:\\skh-tests\\" + name;
    DeleteTree(folder);
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder + "\\";
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
    std::string root = folder;
    if (!root.empty() && root.back() == '\\')
        root.pop_back();
    ListInto(root, "", out);
    std::sort(out.begin(), out.end());
    return out;
}

HWND TestMainWindow() {
    static HWND window = nullptr;
    if (window == nullptr) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = TestWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "SkhTestMainWindow";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "SkhTestMainWindow", "test", WS_POPUP, 0, 0, 820, 520, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    return window;
}

int DrainPostedMessages(UINT message) {
    int count = 0;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, message, message, PM_REMOVE))
        ++count;
    return count;
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

std::string Sha1Hex(const std::string& data) {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    BYTE digest[20] = {};
    DWORD size = sizeof(digest);
    CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT);
    CryptCreateHash(provider, CALG_SHA1, 0, 0, &hash);
    CryptHashData(hash, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()),
                  0);
    CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0);
    CryptDestroyHash(hash);
    CryptReleaseContext(provider, 0);
    std::string out;
    char pair[3];
    for (BYTE b : digest) {
        snprintf(pair, sizeof(pair), "%02x", b);
        out += pair;
    }
    return out;
}

PatchRunResult RunPatchThread() {
    PatchRunResult result = {0, false, "", 0};
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, PatchThreadProc, nullptr, 0, nullptr));
    for (;;) {
        DWORD wait = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_PATCH_FINISHED) {
                ++result.finishedMessages;
                result.flagSetWhenPosted = gState.patchFinished.load() == 1;
            } else {
                DispatchMessageA(&msg);
            }
        }
        if (wait == WAIT_OBJECT_0)
            break;
    }
    CloseHandle(thread);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_PATCH_FINISHED, WM_PATCH_FINISHED, PM_REMOVE)) {
        ++result.finishedMessages;
        result.flagSetWhenPosted = gState.patchFinished.load() == 1;
    }
    char status[kStatusTextSize];
    ReadStatusText(status);
    result.finalStatus = status;
    result.finalPercent = gState.progressPercent.load();
    return result;
}
