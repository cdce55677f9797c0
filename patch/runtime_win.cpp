// EnsureRuntimeInstalled: runs the bundled VC++ x86 runtime installer when it is missing.
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>

#include "app/handle_guards_win.h"
#include "app/launcher_state.h"
#include "patch/http.h"
#include "patch/stages.h"

namespace {

constexpr char kRuntimeKey[] = "SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x86";
constexpr char kInstallerName[] = "_Runtime\\vc_redist.x86.exe";
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

void EnsureRuntimeInstalled() {
    if (RuntimeInstalled())
        return;
    char installer[kPathSize];
    snprintf(installer, sizeof(installer), "%s%s", gState.gameDir, kInstallerName);
    PathFacts facts = QueryPathFacts(installer);
    if (!facts.exists || facts.isDirectory)
        return;

    SetStatus("Memasang Visual C++ Redist...", 98);
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
