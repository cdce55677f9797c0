// Names of the programs and files the launcher keeps or starts in the game folder. They are
// macros as well as constants because the update script and two warnings are built from them.
#pragma once

#define SKH_LAUNCHER_FILE "SKH2026_Patcher.exe"
#define SKH_NEW_LAUNCHER_FILE "SKH2026_Patcher.new.exe"
#define SKH_UPDATE_SCRIPT_FILE "_skh_update.bat"
#define SKH_STATE_FILE "SKH2026_patch.state"
#define SKH_RUN_LOG_FILE "SKH2026_patch.log"
#define SKH_HANDOVER_FILE "SKH2026_patch.handover"
#define SKH_SEQUENCE_FILE "SKH2026_patch.sequence"
#define SKH_GAME_CLIENT_FILE "SKH2026.exe"
#define SKH_SETTINGS_TOOL_FILE "setrovia.exe"
#define SKH_RUNTIME_INSTALLER_FILE "vc_redist.x86.exe"
#define SKH_RUNTIME_RUN_FOLDER "_skh_runtime"
#define SKH_PART_FILE_SUFFIX ".skh2026-part"

constexpr char kLauncherFileName[] = SKH_LAUNCHER_FILE;
constexpr char kNewLauncherFileName[] = SKH_NEW_LAUNCHER_FILE;
constexpr char kUpdateScriptFileName[] = SKH_UPDATE_SCRIPT_FILE;
constexpr char kStateFileName[] = SKH_STATE_FILE;
// What went wrong in the last run, for support.
constexpr char kRunLogFileName[] = SKH_RUN_LOG_FILE;
// The launcher build this folder last handed over to, so a hand-over that did not take is
// not repeated.
constexpr char kHandoverFileName[] = SKH_HANDOVER_FILE;
// The highest signed release this folder has accepted, so an older one cannot be replayed.
constexpr char kSequenceFileName[] = SKH_SEQUENCE_FILE;
// Beside a game file, its new bytes while they arrive: a download's until it is whole and
// checked, a big file's chunks until it is assembled (those are kept when a run is cut off, so
// that the next run resumes from the chunks they hold).
constexpr char kPartFileSuffix[] = SKH_PART_FILE_SUFFIX;
constexpr char kGameClientFileName[] = SKH_GAME_CLIENT_FILE;
constexpr char kSettingsToolFileName[] = SKH_SETTINGS_TOOL_FILE;
// As the game folder holds it, and as a manifest lists it.
constexpr char kRuntimeInstallerPath[] = "_Runtime\\" SKH_RUNTIME_INSTALLER_FILE;
// The folder of the launcher's own that the installer is copied into and started from: it
// holds no other file that the installer could load.
constexpr char kRuntimeRunFolderName[] = SKH_RUNTIME_RUN_FOLDER;
constexpr char kRuntimeRunCopyPath[] = SKH_RUNTIME_RUN_FOLDER "\\" SKH_RUNTIME_INSTALLER_FILE;

// The files a client tree must never overwrite: the launcher, its update and its records.
constexpr const char* kLauncherOwnFiles[] = {
    kLauncherFileName, kNewLauncherFileName, kUpdateScriptFileName, kStateFileName,
    kRunLogFileName,   kHandoverFileName,    kSequenceFileName,     kRuntimeRunFolderName};
