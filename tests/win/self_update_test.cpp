// TrySelfUpdate against the local share: what it rejects, what it leaves behind when a
// hand-over cannot start, and the hand-over itself in a child process.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "base/launcher_state_win.h"
#include "patch/self_update_win.h"
#include "support/import_hook.h"
#include "support/test_support.h"

namespace {

constexpr char kOffer[] = "skh-share/patcher_version.txt";
constexpr char kLauncher[] = "skh-share/SKH2026_Patcher.exe";
constexpr char kLauncherRequest[] = "/skh-share/SKH2026_Patcher.exe";
const char* const kUpdateFiles[] = {"SKH2026_Patcher.new.exe", "_skh_update.bat",
                                    "SKH2026_patch.handover"};

std::string Executable(size_t size) {
    std::string bytes = "MZ";
    bytes.resize(size, '\x90');
    return bytes;
}

// An update accepted by mistake must not end this process with code 0 and pass unseen.
using ExitProcessFunction = void(WINAPI*)(UINT);
ExitProcessFunction gRealExitProcess = nullptr;
void WINAPI GuardedExitProcess(UINT code) {
    if (strstr(GetCommandLineA(), "--gtest_internal_run_death_test") == nullptr) {
        fprintf(stderr, "ExitProcess(%u) outside the hand-over test\n", code);
        code = 99;
    }
    gRealExitProcess(code);
}
const bool gExitGuarded = [] {
    gRealExitProcess = reinterpret_cast<ExitProcessFunction>(
        RedirectImport("KERNEL32.dll", "ExitProcess", reinterpret_cast<void*>(GuardedExitProcess)));
    return gRealExitProcess != nullptr;
}();

// The shell as a test wants it: failing, or recording how the script was started.
using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
ShellExecuteFunction gRealShellExecute = nullptr;
std::string gShellRecord;
HINSTANCE WINAPI FailingShellExecute(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT) {
    return reinterpret_cast<HINSTANCE>(SE_ERR_ACCESSDENIED);
}
HINSTANCE WINAPI RecordingShellExecute(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                       LPCSTR directory, INT show) {
    WriteFileBytes(gShellRecord, std::string(owner == nullptr ? "no owner" : "owner") + " " + verb +
                                     " " + file + " " + (parameters ? parameters : "-") + " " +
                                     directory + " " + std::to_string(show) + "\n" +
                                     ReadFileBytes(file));
    return gRealShellExecute(owner, verb, file, parameters, directory, show);
}
void UseShell(ShellExecuteFunction shell) {
    void* previous = RedirectImport("SHELL32.dll", "ShellExecuteA", reinterpret_cast<void*>(shell));
    if (gRealShellExecute == nullptr)
        gRealShellExecute = reinterpret_cast<ShellExecuteFunction>(previous);
}

class SelfUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gExitGuarded);
        dir = MakeGameDir("self-update");
        ResetLauncherForRun(dir);
        RemoveServedFile(kOffer);
        RemoveServedFile(kLauncher);
    }
    // The update was given up: its one status line, and nothing of it left in the folder.
    void ExpectGivenUp(const std::string& what) {
        std::vector<StatusRecord> log = TakeStatusLog();
        ASSERT_EQ(log.size(), 1u) << what;
        EXPECT_EQ(log[0].text, "Memperbarui launcher...") << what;
        for (const char* file : kUpdateFiles) {
            EXPECT_FALSE(FileExists(dir + file)) << what << ": " << file;
        }
    }
    std::string dir;
};

TEST_F(SelfUpdateTest, OnlyAHigherBuildIsFetchedAndALeftoverStaysUntilThen) {
    ServeFile(kLauncher, Executable(4096));
    for (const char* body : {"4\r\n", "3", "<html>9", ""}) {
        ResetLauncherForRun(dir);
        WriteFileBytes(dir + "SKH2026_Patcher.new.exe", "leftover");
        ServeFile(kOffer, body);
        TrySelfUpdate();
        EXPECT_TRUE(TakeStatusLog().empty()) << body;
        EXPECT_EQ(CountRequests(kLauncherRequest), 0) << body;
        EXPECT_EQ(ReadFileBytes(dir + "SKH2026_Patcher.new.exe"), "leftover") << body;
    }
    ResetLauncherForRun(dir, DeadServerUrl());
    TrySelfUpdate();
    EXPECT_TRUE(TakeStatusLog().empty());
}

TEST_F(SelfUpdateTest, DownloadsThatAreNotALauncherOrCannotBeHandedOverAreGivenUp) {
    std::string zip = "PK\x03\x04";
    zip.resize(3000, 'z');
    const struct {
        const char* what;
        std::string launcher;
        const char* fault;
        bool scriptFolder;  // a folder stands where the script goes
        ShellExecuteFunction shell;
    } rows[] = {
        {"no launcher on the share", "", "status 404", false, nullptr},
        {"cut in mid-body", Executable(200000), "cut 50000", false, nullptr},
        {"63 bytes", Executable(63), "", false, nullptr},
        {"an HTML page", "<!DOCTYPE html><html>Server sedang maintenance</html>", "", false,
         nullptr},
        {"ZM", "ZM" + std::string(500, 'x'), "", false, nullptr},
        {"a zip", zip, "", false, nullptr},
        {"the script cannot be written", Executable(64), "", true, nullptr},
        {"the shell cannot start the script", Executable(64), "", false, FailingShellExecute},
    };
    ServeFile(kOffer, "5");
    for (const auto& row : rows) {
        dir = MakeGameDir("self-update");
        ResetLauncherForRun(dir);
        ServeFile(kLauncher, row.launcher);
        if (*row.fault != '\0')
            SetFault(kLauncherRequest, row.fault);
        if (row.scriptFolder)
            CreateDirectoryA((dir + "_skh_update.bat").c_str(), nullptr);
        if (row.shell != nullptr)
            UseShell(row.shell);
        TrySelfUpdate();
        if (row.shell != nullptr)
            UseShell(gRealShellExecute);
        ExpectGivenUp(row.what);
        EXPECT_EQ(CountRequests(kLauncherRequest), 1) << row.what;
    }
}

// The accepted update ends the process, so it runs in a child; the parent reads what the
// child left on disk. The script's own work is checked end to end.
using SelfUpdateDeathTest = SelfUpdateTest;

TEST_F(SelfUpdateDeathTest, SixtyFourBytesStartingWithMZAreHandedOverToTheScript) {
    gShellRecord = TestRoot() + "shell.txt";
    DeleteFileA(gShellRecord.c_str());
    ServeFile(kOffer, "2147483648");  // clamped to the largest build
    ServeFile(kLauncher, Executable(64));
    WriteFileBytes(dir + "SKH2026_Patcher.new.exe", std::string(5000, 'x'));
    EXPECT_EXIT(
        {
            UseShell(RecordingShellExecute);
            TrySelfUpdate();
        },
        ::testing::ExitedWithCode(0), "");
    const std::string record = ReadFileBytes(gShellRecord);
    ASSERT_FALSE(record.empty()) << "the script was never started";
    const std::string started = record.substr(0, record.find('\n'));
    EXPECT_EQ(started, "no owner open " + dir + "_skh_update.bat - " + dir + " 0");
    // The script as started: twelve CR LF lines, 320 bytes, that wait for the launcher, move
    // the new build over it and start it.
    const std::string script = record.substr(record.find('\n') + 1);
    EXPECT_EQ(script.size(), 320u);
    EXPECT_EQ(script.substr(0, 11), "@echo off\r\n");
    EXPECT_NE(script.find("move /y \"SKH2026_Patcher.new.exe\" \"SKH2026_Patcher.exe\""),
              std::string::npos);
    EXPECT_EQ(ReadFileBytes(dir + "SKH2026_patch.handover"), "2147483647");
    EXPECT_EQ(CountRequests(kLauncherRequest), 1);
}

}  // namespace
