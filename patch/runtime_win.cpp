// EnsureRuntimeInstalled: runs the bundled VC++ x86 runtime installer when it is missing.
#include "patch/runtime_win.h"

#include <windows.h>
#include <shellapi.h>
#include <string.h>

#include "base/game_path.h"
#include "base/handle_guards_win.h"
#include "base/launcher_state_win.h"
#include "base/own_files.h"
#include "base/path_facts_win.h"
#include "base/player_texts.h"
#include "base/run_log_win.h"
#include "base/sha1_win.h"
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

}  // namespace

void EnsureRuntimeInstalled(const char* signedDigest) {
    if (RuntimeInstalled())
        return;
    char installer[kPathSize];
    if (!GameFolderPath(gState.gameDir, kRuntimeInstallerPath, installer, sizeof(installer)))
        return;
    PathFacts facts = QueryPathFacts(installer);
    if (!facts.exists || facts.isDirectory)
        return;
    // Checked right before it runs, so nothing can swap it after the check.
    char digest[kDigestLength + 1];
    if (signedDigest != nullptr &&
        (!HashFileSha1(installer, digest) || strcmp(digest, signedDigest) != 0)) {
        LogProblem("%s does not match the signed release; not run", installer);
        SetStatus(kStatusRuntimeRefused, kRuntimeInstallPercent);
        return;
    }

    SetStatus(kStatusRuntimeInstall, kRuntimeInstallPercent);
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = "open";
    info.lpFile = installer;
    info.lpParameters = kInstallerParameters;
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&info))
        return;
    // The play button stays waiting until the installer is done: the game needs its runtime.
    FileHandle process(info.hProcess);
    if (!process.IsOpen())
        return;
    WaitForSingleObject(process.handle, INFINITE);
}
