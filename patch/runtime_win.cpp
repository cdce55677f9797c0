// EnsureRuntimeInstalled: runs the bundled VC++ x86 runtime installer when it is missing.
#include "patch/runtime_win.h"

#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include "base/game_path.h"
#include "base/handle_guards_win.h"
#include "base/launcher_state_win.h"
#include "base/own_files.h"
#include "base/path_facts_win.h"
#include "base/player_texts.h"
#include "base/run_log_win.h"
#include "base/hash_win.h"
#include "base/status_win.h"
#include "patch/stage_progress.h"

namespace {

constexpr char kRuntimeKey[] = "SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x86";
constexpr char kInstallerParameters[] = "/install /quiet /norestart";

// Only a readable 32-bit value of exactly 1 counts; a missing key or value, a longer value
// or a text all mean the runtime has to be installed.
bool RuntimeInstalled() {
    RegistryKey runtime;
    // The 32-bit view: a 32-bit launcher needs the x86 runtime whatever Windows it runs on.
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRuntimeKey, 0, KEY_READ | KEY_WOW64_32KEY,
                      &runtime.key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD installed = 0;
    DWORD size = sizeof(installed);
    LONG result = RegQueryValueExA(runtime.key, "Installed", nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(&installed), &size);
    return result == ERROR_SUCCESS && installed == 1;
}

// Holds a folder open so that it cannot be renamed, removed or swapped for a link while the
// launcher works in it by name. A link in the folder's place is opened itself, not followed.
HANDLE HoldFolder(const char* folder) {
    return CreateFileA(folder, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                       nullptr);
}

// Empties and removes the installer's folder, left over or just used. A link in its place is
// removed as a link, its target untouched; a folder that will not go stays, and the next
// CreateDirectoryA then refuses it.
void RemoveRunFolder(const char* folder) {
    {
        FileHandle held(HoldFolder(folder));
        BY_HANDLE_FILE_INFORMATION info;
        if (held.IsOpen() && GetFileInformationByHandle(held.handle, &info) &&
            (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
                FILE_ATTRIBUTE_DIRECTORY) {
            char path[kPathSize];
            snprintf(path, sizeof(path), "%s\\*", folder);
            WIN32_FIND_DATAA found;
            HANDLE search = FindFirstFileA(path, &found);
            for (BOOL more = search != INVALID_HANDLE_VALUE; more;
                 more = FindNextFileA(search, &found)) {
                if (snprintf(path, sizeof(path), "%s\\%s", folder, found.cFileName) >=
                        static_cast<int>(sizeof(path)) ||
                    strspn(found.cFileName, ".") == strlen(found.cFileName)) {
                    continue;
                }
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveDirectoryA(path);
                } else {
                    DeleteFileA(path);
                }
            }
            if (search != INVALID_HANDLE_VALUE)
                FindClose(search);
        }
    }
    if (!RemoveDirectoryA(folder))
        DeleteFileA(folder);
}

// The installer runs as a copy in a fresh folder of the launcher's own: run elevated, it
// would load a DLL planted beside it in _Runtime\. The copy is held open without write or
// delete sharing from its check until its process has started, so the bytes checked are the
// bytes that run.
void RunInstallerCopy(const char* installer, const char* folder, const char* signedDigest) {
    char copy[kPathSize];
    if (!GameFolderPath(gState.gameDir, kRuntimeRunCopyPath, copy, sizeof(copy)) ||
        !CreateDirectoryA(folder, nullptr)) {
        LogProblem("cannot make a fresh folder %s (error %lu)", folder, GetLastError());
        return;
    }
    FileHandle heldFolder(HoldFolder(folder));
    if (!heldFolder.IsOpen() || !CopyFileA(installer, copy, TRUE)) {
        LogProblem("cannot copy %s to %s (error %lu)", installer, copy, GetLastError());
        return;
    }
    FileHandle held(CreateFileA(copy, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!held.IsOpen()) {
        LogProblem("cannot hold %s (error %lu)", copy, GetLastError());
        return;
    }
    char digest[kDigestLength + 1];
    if (signedDigest != nullptr &&
        (!HashHeldFileSha1(held.handle, digest) || strcmp(digest, signedDigest) != 0)) {
        LogProblem("%s does not match the signed release; not run", installer);
        SetStatus(kStatusRuntimeRefused, kRuntimeInstallPercent);
        return;
    }

    SetStatus(kStatusRuntimeInstall, kRuntimeInstallPercent);
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = "open";
    info.lpFile = copy;
    info.lpParameters = kInstallerParameters;
    info.lpDirectory = folder;
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&info))
        return;
    held.Close();
    // The play button stays waiting until the installer is done: the game needs its runtime.
    FileHandle process(info.hProcess);
    if (process.IsOpen())
        WaitForSingleObject(process.handle, INFINITE);
}

}  // namespace

void EnsureRuntimeInstalled(const char* signedDigest) {
    char folder[kPathSize];
    char installer[kPathSize];
    if (!GameFolderPath(gState.gameDir, kRuntimeRunFolderName, folder, sizeof(folder)) ||
        !GameFolderPath(gState.gameDir, kRuntimeInstallerPath, installer, sizeof(installer))) {
        return;
    }
    // A copy left by a start that was closed while its installer ran.
    RemoveRunFolder(folder);
    if (RuntimeInstalled())
        return;
    PathFacts facts = QueryPathFacts(installer);
    if (!facts.exists || facts.isDirectory)
        return;
    RunInstallerCopy(installer, folder, signedDigest);
    RemoveRunFolder(folder);
}
