// Shared fixtures of the Windows tests: the local patch server, game folders, files, and the
// two workers run as the launcher runs them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "test_seams.h"

// A Unix path as this process sees it: Wine's Z: drive maps the host's root.
std::string FromUnix(const std::string& unixPath);

// The harness's local HTTPS server as https://localhost:PORT; an address nobody listens on.
std::string ServerUrl();
std::string DeadServerUrl();

// Files served by path below the root ("skh-full/version.txt"), after zeros sparse zero bytes.
void ServeFile(const std::string& relativePath, const std::string& content, int64_t zeros = 0);
void RemoveServedFile(const std::string& relativePath);
// A fault for one request path exactly as sent ("/skh-full/version.txt"), e.g. "status 404";
// the kinds are listed in tests/harness/patch_server.py.
void SetFault(const std::string& requestPath, const std::string& fault);

struct RequestRecord {
    std::string path;  // as sent
    std::string line;  // method, path, then "Name: value" headers, tab-separated
};
std::vector<RequestRecord> ReadRequests();
int CountRequests(const std::string& requestPath);

// This executable's own folder on C:, emptied by the harness before each run; below it, a new
// folder ending in a backslash.
std::string TestRoot();
std::string MakeGameDir(const std::string& name);
// The stand-in program (tests/win/stubs/stand_in.cpp), which records its start when copied.
std::string StandInPath();

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& content);
bool FileExists(const std::string& path);
// Every file below a folder, as relative paths with backslashes, sorted.
std::vector<std::string> ListFilesRecursive(const std::string& folder);

// Resets LauncherState, faults and the request log, points the patch code at root, sets gameDir
// and gives the workers a window of this thread to post to.
void ResetLauncherForRun(const std::string& gameDir, const std::string& root = ServerUrl());

struct PatchRunResult {
    int finishedMessages;     // WM_PATCH_FINISHED posts taken from the queue
    bool flagSetWhenPosted;   // patchFinished was 1 inside the PostMessageA call itself
    std::string finalStatus;  // statusText after the run
    int finalPercent;
    std::vector<StatusRecord> steps;  // every status line of the run
};
// Runs PatchThreadProc on a worker thread while this thread pumps messages, as the launcher does.
PatchRunResult RunPatchThread();

struct NewsRunResult {
    int posts;            // WM_NEWS_READY posts
    int countWhenPosted;  // newsCount inside the PostMessageA call
};
NewsRunResult RunNewsThread();

// CryptoAPI's digest of bytes (CALG_SHA_256, CALG_SHA1) as lowercase digits.
std::string HexDigest(ALG_ID algorithm, const std::string& bytes);
// The chunk index of zeros zero bytes (a multiple of the largest chunk) followed by content, cut
// by the launcher's own cutter, hashed here; with a wrong whole-file SHA-256 when wrongDigest.
std::string ChunkIndexFor(const std::string& content, bool wrongDigest = false, int64_t zeros = 0);
void WriteSparseFile(const std::string& path, int64_t zeros, const std::string& tail);
