// EnsureRuntimeInstalled with the prefix's real registry and a stand-in installer.
#include <gtest/gtest.h>

#include <windows.h>
#include <process.h>
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
#include "support/test_support.h"

namespace {

constexpr char kRuntimeKey[] = "SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x86";
constexpr char kInstalling[] = "Memasang Visual C++ Redist...";
constexpr char kExpectedRecord[] = "args=/install /quiet /norestart\nshow=1\n";

std::string TestFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    *(strrchr(path, '\\') + 1) = '\0';
    return path;
}

void RemoveRuntimeKey() {
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kRuntimeKey, KEY_WOW64_32KEY, 0);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kRuntimeKey, KEY_WOW64_64KEY, 0);
}

// The 32-bit view is where a 32-bit runtime installer leaves its mark.
bool SetInstalled(DWORD type, const std::string& data, REGSAM view = KEY_WOW64_32KEY) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRuntimeKey, 0, nullptr, 0, KEY_SET_VALUE | view,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExA(key, "Installed", 0, type,
                                 reinterpret_cast<const BYTE*>(data.data()), data.size());
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

std::string Dword(DWORD value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof(value));
}

// The system's message box on a thread of this process, or null.
HWND FindProcessDialog() {
    HWND box = FindWindowA("#32770", nullptr);
    DWORD process = 0;
    GetWindowThreadProcessId(box, &process);
    return process == GetCurrentProcessId() ? box : nullptr;
}

unsigned __stdcall RuntimeStepThread(void*) {
    EnsureRuntimeInstalled();
    return 0;
}

int CountInstallingLines() {
    int count = 0;
    for (const StatusRecord& step : TakeStatusLog())
        count += step.text == kInstalling;
    return count;
}

class RuntimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        gameDir = MakeGameDir("runtime");
        ResetLauncherForRun(gameDir);
        RemoveRuntimeKey();
        for (const char* name : {"skh-full/version.txt", "skh-full/manifest.txt"})
            RemoveServedFile(name);
    }
    void TearDown() override { RemoveRuntimeKey(); }

    void PlaceInstaller() {
        CreateDirectoryA((gameDir + "_Runtime").c_str(), nullptr);
        ASSERT_TRUE(
            CopyFileA((TestFolder() + "vc_redist_stub.exe").c_str(), Installer().c_str(), FALSE));
    }
    std::string Installer() const { return gameDir + "_Runtime\\vc_redist.x86.exe"; }
    // Written by the stand-in only as it ends, so finding it shows the launcher waited.
    std::string Record() const { return gameDir + "_Runtime\\vc_redist.record.txt"; }

    void ExpectNothingHappened(const std::string& what) {
        EXPECT_TRUE(TakeStatusLog().empty()) << what;
        EXPECT_FALSE(FileExists(Record())) << what;
    }
    std::string gameDir;
};

TEST_F(RuntimeTest, OnlyTheNumberOneInThe32BitViewSkipsTheInstaller) {
    const struct {
        const char* what;
        DWORD type;
        std::string data;
        REGSAM view;
        bool runs;
    } kRows[] = {
        {"Installed = 1", REG_DWORD, Dword(1), KEY_WOW64_32KEY, false},
        {"key absent", REG_NONE, "", KEY_WOW64_32KEY, true},
        {"Installed = 0", REG_DWORD, Dword(0), KEY_WOW64_32KEY, true},
        {"Installed = 2", REG_DWORD, Dword(2), KEY_WOW64_32KEY, true},
        {"Installed as the text 1", REG_SZ, std::string("1", 2), KEY_WOW64_32KEY, true},
        // Eight bytes do not fit the four-byte buffer, so the read fails.
        {"Installed as a 64-bit 1", REG_QWORD, Dword(1) + Dword(0), KEY_WOW64_32KEY, true},
        {"Installed = 1 in the 64-bit view only", REG_DWORD, Dword(1), KEY_WOW64_64KEY, true},
    };
    for (const auto& row : kRows) {
        ResetLauncherForRun(MakeGameDir("runtime"));
        RemoveRuntimeKey();
        PlaceInstaller();
        if (row.type != REG_NONE) {
            ASSERT_TRUE(SetInstalled(row.type, row.data, row.view)) << row.what;
        }
        EnsureRuntimeInstalled();
        if (!row.runs) {
            ExpectNothingHappened(row.what);
            continue;
        }
        std::vector<StatusRecord> log = TakeStatusLog();
        ASSERT_EQ(log.size(), 1u) << row.what;
        EXPECT_EQ(log[0].text, kInstalling) << row.what;
        EXPECT_EQ(log[0].percent, 98) << row.what;
        EXPECT_EQ(ReadFileBytes(Record()), kExpectedRecord) << row.what;
    }
}

TEST_F(RuntimeTest, NoInstallerInTheGameFolderShowsNothing) {
    EnsureRuntimeInstalled();
    ExpectNothingHappened("no _Runtime folder");
    // A folder where the installer should be is no installer either.
    CreateDirectoryA((gameDir + "_Runtime").c_str(), nullptr);
    CreateDirectoryA(Installer().c_str(), nullptr);
    ASSERT_TRUE(SetInstalled(REG_DWORD, Dword(0)));
    EnsureRuntimeInstalled();
    ExpectNothingHappened("installer name is a folder");
}

// The start request does not silence the shell, so the system reports a file it cannot
// start in its own box; once that is closed the step ends and the run goes on.
TEST_F(RuntimeTest, AnInstallerThatCannotStartEndsTheStepOnceTheSystemBoxCloses) {
    CreateDirectoryA((gameDir + "_Runtime").c_str(), nullptr);
    WriteFileBytes(Installer(), "this is not a program");
    HANDLE worker = reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, RuntimeStepThread, nullptr, 0, nullptr));
    ASSERT_NE(worker, nullptr);
    HWND box = nullptr;
    for (int i = 0; i < 200 && box == nullptr; ++i) {
        if (WaitForSingleObject(worker, 50) == WAIT_OBJECT_0)
            break;
        box = FindProcessDialog();
    }
    if (box != nullptr)
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(WaitForSingleObject(worker, 10000), WAIT_OBJECT_0) << "the step did not end";
    CloseHandle(worker);
    EXPECT_EQ(CountInstallingLines(), 1);
}

TEST_F(RuntimeTest, RunsBeforeTheFinalMessageOfACleanRun) {
    PlaceInstaller();
    ServeFile("skh-full/version.txt", "v1\n");
    ServeFile("skh-full/manifest.txt", "# nothing to check\n");
    PatchRunResult result = RunPatchThread();
    EXPECT_EQ(ReadFileBytes(Record()), kExpectedRecord);
    EXPECT_EQ(result.finalStatus, "File lengkap & terbaru. Siap dimainkan!");
    EXPECT_EQ(result.finishedMessages, 1);
    std::vector<std::string> texts;
    for (const StatusRecord& step : TakeStatusLog())
        texts.push_back(step.text);
    EXPECT_EQ(texts,
              (std::vector<std::string>{"Mengecek versi server...", "Mengecek file game...",
                                        kInstalling, "File lengkap & terbaru. Siap dimainkan!"}));
}

TEST_F(RuntimeTest, RunsAfterFailedFilesButNeverAfterTheOfflineOrManifestEnds) {
    PlaceInstaller();
    PatchRunResult offline = RunPatchThread();
    EXPECT_EQ(offline.finalStatus, "Server offline. Cek koneksi internet.");
    EXPECT_EQ(CountInstallingLines(), 0);

    ResetLauncherForRun(gameDir);
    ServeFile("skh-full/version.txt", "v3\n");
    PatchRunResult noManifest = RunPatchThread();
    EXPECT_EQ(noManifest.finalStatus, "Gagal ambil daftar file.");
    EXPECT_EQ(CountInstallingLines(), 0);
    EXPECT_FALSE(FileExists(Record()));

    // The listed file is not on the server: its download fails.
    ResetLauncherForRun(gameDir);
    ServeFile("skh-full/manifest.txt", "data/missing.bin|10|big\n");
    PatchRunResult failed = RunPatchThread();
    EXPECT_EQ(failed.finalStatus, "Selesai, tapi 1 file gagal. Klik MAIN/ulang.");
    EXPECT_EQ(ReadFileBytes(Record()), kExpectedRecord);
    std::vector<StatusRecord> log = TakeStatusLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2].text, kInstalling);
}

}  // namespace
