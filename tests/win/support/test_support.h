// Shared fixtures of the Windows tests: the local patch server, game folders, file helpers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The harness's local HTTPS server, as https://localhost:PORT.
std::string ServerUrl();
// An address on this machine where nothing listens, for refused connections.
std::string DeadServerUrl();

// Files the server publishes, by path below its root ("skh-full/version.txt").
void ServeFile(const std::string& relativePath, const std::string& content);
void RemoveServedFile(const std::string& relativePath);
// Writes the served file's path as seen from this Windows process.
std::string ServedFilePath(const std::string& relativePath);

// A fault for one request path exactly as sent ("/skh-full/version.txt"), e.g. "status 404".
void SetFault(const std::string& requestPath, const std::string& fault);
void ClearFaults();

struct RequestRecord {
    std::string method;
    std::string path;
    std::vector<std::string> headers;  // "Name: value"
    std::string Header(const std::string& name) const;
};
std::vector<RequestRecord> ReadRequests();
void ClearRequests();
// Number of logged requests whose path is exactly requestPath.
int CountRequests(const std::string& requestPath);

// A fresh, empty game folder on the prefix's C: drive; ends with a backslash.
std::string MakeGameDir(const std::string& name);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& content);
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Every file below a folder, as relative paths with backslashes, sorted.
std::vector<std::string> ListFilesRecursive(const std::string& folder);

// Resets LauncherState to its start-up values, points the patch code at the test server,
// sets gameDir and gives the workers a real window to invalidate and post to.
void ResetLauncherForRun(const std::string& gameDir, const std::string& root = ServerUrl());

// The hidden window the tests hand to the workers as mainWindow.
HWND TestMainWindow();
// Removes the posted messages of one kind from the test thread's queue and counts them.
int DrainPostedMessages(UINT message);

// SHA-1 of a byte string as 40 lowercase digits, straight from CryptoAPI.
std::string Sha1Hex(const std::string& data);

struct PatchRunResult {
    int finishedMessages;     // WM_PATCH_FINISHED posts seen
    bool flagSetWhenPosted;   // patchFinished was already 1 when the message arrived
    std::string finalStatus;  // statusText after the run
    int finalPercent;
};
// Runs PatchThreadProc on a worker thread, as the launcher does, while this thread pumps
// messages; returns after the worker has ended and the queue is drained.
PatchRunResult RunPatchThread();
