// TrySelfUpdate against the local share: when it updates, what it rejects, and the hand-over.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/launcher_state_win.h"
#include "base/http_win.h"
#include "base/status_win.h"
#include "test_seams.h"
#include "patch/manifest_win.h"
#include "patch/patch_run_win.h"
#include "patch/runtime_win.h"
#include "patch/self_update_win.h"
#include "patch/self_update.h"
#include "support/import_hook.h"
#include "support/test_support.h"

namespace {

constexpr char kVersionPath[] = "skh-share/patcher_version.txt";
constexpr char kLauncherPath[] = "skh-share/SKH2026_Patcher.exe";
constexpr char kLauncherRequest[] = "/skh-share/SKH2026_Patcher.exe";
constexpr char kNewLauncher[] = "SKH2026_Patcher.new.exe";
constexpr char kScript[] = "_skh_update.bat";
// Written by the child of a hand-over test, outside the game folder the script works in.
constexpr char kShellRecord[] = "C:\\skh-tests\\self-update-shell.txt";
constexpr char kScriptAtStart[] = "C:\\skh-tests\\self-update-script.bin";

// An update accepted by mistake must not end this process with code 0 and pass unseen.
using ExitProcessFunction = void(WINAPI*)(UINT);
ExitProcessFunction gRealExitProcess = nullptr;

void WINAPI GuardedExitProcess(UINT code) {
    if (strstr(GetCommandLineA(), "--gtest_internal_run_death_test") == nullptr) {
        fprintf(stderr, "ExitProcess(%u) called outside a hand-over test\n", code);
        fflush(stderr);
        code = 99;
    }
    gRealExitProcess(code);
}

const bool gExitGuarded = [] {
    gRealExitProcess = reinterpret_cast<ExitProcessFunction>(
        RedirectImport("KERNEL32.dll", "ExitProcess", reinterpret_cast<void*>(GuardedExitProcess)));
    return gRealExitProcess != nullptr;
}();

// Records how the script is started, and its bytes then (it deletes itself once run).
using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
ShellExecuteFunction gRealShellExecute = nullptr;

HINSTANCE WINAPI RecordingShellExecute(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                       LPCSTR directory, INT show) {
    auto text = [](LPCSTR value) { return value == nullptr ? std::string("(null)") : value; };
    std::string record = "owner=" + std::string(owner == nullptr ? "(null)" : "set") +
                         "\nverb=" + text(verb) + "\nfile=" + text(file) +
                         "\nparameters=" + text(parameters) + "\ndirectory=" + text(directory) +
                         "\nshow=" + std::to_string(show) + "\n";
    WriteFileBytes(kScriptAtStart, file == nullptr ? "" : ReadFileBytes(file));
    WriteFileBytes(kShellRecord, record);
    return gRealShellExecute(owner, verb, file, parameters, directory, show);
}

void RecordShellExecute() {
    gRealShellExecute = reinterpret_cast<ShellExecuteFunction>(RedirectImport(
        "SHELL32.dll", "ShellExecuteA", reinterpret_cast<void*>(RecordingShellExecute)));
}

std::string ExecutableHead(size_t size) {
    std::string bytes = "MZ";
    bytes.resize(size, '\x90');
    return bytes;
}

class SelfUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gExitGuarded);
        Reset();
        // The share offers nothing until a case serves it.
        RemoveServedFile(kVersionPath);
        RemoveServedFile(kLauncherPath);
    }
    std::string Path(const char* name) const { return gameDir + name; }
    void Reset() {
        gameDir = MakeGameDir("self-update");
        ResetLauncherForRun(gameDir);
    }
    // An update was offered and abandoned: the one status line, and nothing left behind.
    void ExpectAbandoned(const std::string& what) {
        std::vector<StatusRecord> log = TakeStatusLog();
        ASSERT_EQ(log.size(), 1u) << what;
        EXPECT_EQ(log[0].text, "Memperbarui launcher...") << what;
        EXPECT_EQ(log[0].percent, 4) << what;
        EXPECT_EQ(CountRequests(kLauncherRequest), 1) << what;
        EXPECT_FALSE(FileExists(Path(kNewLauncher))) << what;
        EXPECT_FALSE(FileExists(Path(kScript))) << what;
    }
    std::string gameDir;
};

TEST_F(SelfUpdateTest, NoUpdateUnlessTheShareAnnouncesAHigherBuild) {
    for (const char* body : {"4", "4\r\n", "4\n", "3", "0", "abc", "", "-5", "  -12x", "<html>9"}) {
        Reset();
        WriteFileBytes(Path(kNewLauncher), "leftover");
        ServeFile(kVersionPath, body);
        ServeFile(kLauncherPath, ExecutableHead(4096));
        TrySelfUpdate();
        EXPECT_TRUE(TakeStatusLog().empty()) << body;
        EXPECT_EQ(CountRequests("/skh-share/patcher_version.txt"), 1) << body;
        EXPECT_EQ(CountRequests(kLauncherRequest), 0) << body;
        // A leftover from an earlier attempt is only cleared when an update is offered.
        EXPECT_EQ(ReadFileBytes(Path(kNewLauncher)), "leftover") << body;
        EXPECT_FALSE(FileExists(Path(kScript))) << body;
    }
}

TEST_F(SelfUpdateTest, NoUpdateWhenTheShareCannotBeReached) {
    ServeFile(kVersionPath, "9");
    ServeFile(kLauncherPath, ExecutableHead(4096));
    for (const char* fault : {"status 404", "status 500", "reset", "cut 0"}) {
        Reset();
        SetFault("/skh-share/patcher_version.txt", fault);
        TrySelfUpdate();
        EXPECT_TRUE(TakeStatusLog().empty()) << fault;
        EXPECT_EQ(CountRequests(kLauncherRequest), 0) << fault;
    }
    ResetLauncherForRun(gameDir, DeadServerUrl());
    TrySelfUpdate();
    EXPECT_TRUE(TakeStatusLog().empty());
    EXPECT_TRUE(ListFilesRecursive(gameDir).empty());
}

TEST_F(SelfUpdateTest, AFailedUpdateLetsTheRunGoOnWithTheVersionCheck) {
    ServeFile(kVersionPath, "5");
    PatchRunResult result = RunPatchThread();
    std::vector<StatusRecord> log = TakeStatusLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0].text, "Memperbarui launcher...");
    EXPECT_EQ(log[0].percent, 4);
    EXPECT_EQ(log[1].text, "Mengecek versi server...");
    EXPECT_EQ(log[1].percent, 3);
    EXPECT_EQ(CountRequests("/skh-full/version.txt"), 1);
    EXPECT_EQ(result.finishedMessages, 1);
    EXPECT_FALSE(FileExists(Path(kNewLauncher)));
    EXPECT_FALSE(FileExists(Path(kScript)));
}

TEST_F(SelfUpdateTest, AnOfferedUpdateWhoseDownloadFailsLeavesNoNewLauncher) {
    // Every text here announces a higher build; the share has no launcher (404).
    for (const char* body : {"5", "5\r\n", "  12abc", "123456789012345678901234567890"}) {
        Reset();
        WriteFileBytes(Path(kNewLauncher), ExecutableHead(100));
        ServeFile(kVersionPath, body);
        TrySelfUpdate();
        ExpectAbandoned(std::string("404 after offer ") + body);
    }
    // Broken off in mid-body: the partial file that the download left is removed too.
    ServeFile(kVersionPath, "5");
    ServeFile(kLauncherPath, ExecutableHead(200000));
    for (const char* fault : {"cut 50000", "reset", "status 503"}) {
        Reset();
        SetFault(kLauncherRequest, fault);
        TrySelfUpdate();
        ExpectAbandoned(fault);
    }
}

TEST_F(SelfUpdateTest, DownloadsThatAreNotALauncherAreRejectedAndDeleted) {
    std::string zip = "PK\x03\x04";
    zip.resize(300000, 'z');
    const std::string kHtml =
        "<!DOCTYPE html>\n<html><head><title>Maintenance</title></head>"
        "<body>Server sedang maintenance</body></html>\n";
    const std::string kPad(500, '\x90');
    ServeFile(kVersionPath, "5");
    for (const std::string& body : {ExecutableHead(63), kHtml, "ZM" + kPad, "mz" + kPad, zip,
                                    std::string(), std::string("MZ")}) {
        Reset();
        ServeFile(kLauncherPath, body);
        TrySelfUpdate();
        const std::string what = std::to_string(body.size()) + " bytes: " + body.substr(0, 4);
        ExpectAbandoned(what);
        EXPECT_TRUE(ListFilesRecursive(gameDir).empty()) << what;
    }
}

TEST_F(SelfUpdateTest, AFolderUnderTheScriptsNameAbandonsTheUpdate) {
    ServeFile(kVersionPath, "5");
    ServeFile(kLauncherPath, ExecutableHead(64));
    ASSERT_TRUE(CreateDirectoryA(Path(kScript).c_str(), nullptr));
    TrySelfUpdate();
    ExpectAbandoned("script name is a folder");
    EXPECT_TRUE(DirectoryExists(Path(kScript)));
}

TEST_F(SelfUpdateTest, AGameFolderTooLongForTheFileNamesAbandonsTheUpdate) {
    // 245 characters: the new launcher's name would be cut to "SKH2026_Patche", a bystander.
    std::string folder = "C:\\skh-tests\\" + std::string(231, 'g');
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string longDir = folder + "\\";
    ASSERT_EQ(longDir.size(), 245u);
    std::string bystander = longDir + "SKH2026_Patche";
    ASSERT_EQ(bystander.size(), 259u);
    WriteFileBytes(bystander, "keep me");
    ServeFile(kVersionPath, "5");
    ServeFile(kLauncherPath, ExecutableHead(64));
    ResetLauncherForRun(longDir);
    TrySelfUpdate();
    EXPECT_EQ(ReadFileBytes(bystander), "keep me");
    EXPECT_EQ(CountRequests(kLauncherRequest), 0);
    DeleteFileA(bystander.c_str());
    RemoveDirectoryA(folder.c_str());
}

// The accepted update ends the process, so it runs in a child; the parent reads what the
// child left on disk and at the server. The script's own work is covered end to end.
using SelfUpdateDeathTest = SelfUpdateTest;

TEST_F(SelfUpdateDeathTest, SixtyFourBytesStartingWithMZStartTheScriptHiddenAndEndTheProcess) {
    DeleteFileA(kShellRecord);
    DeleteFileA(kScriptAtStart);
    ServeFile(kVersionPath, "2147483648");
    ServeFile(kLauncherPath, ExecutableHead(64));
    // A leftover from an interrupted earlier update is replaced, not appended to.
    WriteFileBytes(Path(kNewLauncher), std::string(5000, 'x'));
    EXPECT_EXIT(
        {
            RecordShellExecute();
            PatchThreadProc(nullptr);
        },
        ::testing::ExitedWithCode(0), "");

    ASSERT_TRUE(FileExists(kShellRecord)) << "the script was never started";
    EXPECT_EQ(ReadFileBytes(kShellRecord), "owner=(null)\nverb=open\nfile=" + Path(kScript) +
                                               "\nparameters=(null)\ndirectory=" + gameDir +
                                               "\nshow=0\n");
    EXPECT_EQ(ReadFileBytes(kScriptAtStart), std::string(kUpdateScript, kUpdateScriptSize));
    // The run ended inside the self-update: no version check, so no finished message.
    EXPECT_EQ(CountRequests("/skh-full/version.txt"), 0);
    EXPECT_EQ(CountRequests(kLauncherRequest), 1);
    // Under Wine the script's process probe fails, so it swaps the files at once.
    for (int i = 0; i < 300 && (FileExists(Path(kScript)) || FileExists(Path(kNewLauncher))); ++i)
        Sleep(100);
    EXPECT_EQ(ReadFileBytes(Path("SKH2026_Patcher.exe")), ExecutableHead(64));
}

}  // namespace
