// EnsureRuntimeInstalled with the prefix's real registry and a stand-in installer.
#include <gtest/gtest.h>

#include <windows.h>
#include <process.h>
#include <string.h>

#include <algorithm>

#include <string>
#include <vector>

#include "app/launcher_state.h"
#include "patch/http.h"
#include "patch/stages.h"
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

// The 32-bit view, where a 32-bit runtime installer leaves its mark.
void RemoveRuntimeKey() {
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kRuntimeKey, KEY_WOW64_32KEY, 0);
}

void SetInstalledValue(DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRuntimeKey, 0, nullptr, 0,
                              KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "Installed", 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

BOOL CALLBACK FindDialogOfThisProcess(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[16] = {};
    GetClassNameA(window, className, sizeof(className));
    if (process == GetCurrentProcessId() && strcmp(className, "#32770") == 0 &&
        IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// A dialog box that a thread of this process shows, or null.
HWND FindProcessDialog() {
    HWND found = nullptr;
    EnumWindows(FindDialogOfThisProcess, reinterpret_cast<LPARAM>(&found));
    return found;
}

unsigned __stdcall RuntimeStepThread(void*) {
    EnsureRuntimeInstalled();
    return 0;
}

void SetInstalledDword(DWORD value) {
    SetInstalledValue(REG_DWORD, &value, sizeof(value));
}

std::vector<std::string> Texts(const std::vector<StatusRecord>& log) {
    std::vector<std::string> out;
    for (const StatusRecord& step : log)
        out.push_back(step.text);
    return out;
}

class RuntimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        gameDir = MakeGameDir("runtime");
        ResetLauncherForRun(gameDir);
        RemoveRuntimeKey();
        for (const char* name :
             {"skh-full/version.txt", "skh-full/manifest.txt", "skh-share/patcher_version.txt"}) {
            RemoveServedFile(name);
        }
    }
    void TearDown() override { RemoveRuntimeKey(); }

    void PlaceInstaller() {
        CreateDirectoryA((gameDir + "_Runtime").c_str(), nullptr);
        ASSERT_TRUE(
            CopyFileA((TestFolder() + "vc_redist_stub.exe").c_str(), Installer().c_str(), FALSE));
    }
    std::string Installer() const { return gameDir + "_Runtime\\vc_redist.x86.exe"; }
    std::string Record() const { return gameDir + "_Runtime\\vc_redist.record.txt"; }

    // The installer ran and had finished, with its record written, by the time the step
    // returned; the one status line came before.
    void ExpectInstallerRanAndFinished(const std::string& what) {
        std::vector<StatusRecord> log = TakeStatusLog();
        ASSERT_EQ(log.size(), 1u) << what;
        EXPECT_EQ(log[0].text, kInstalling) << what;
        EXPECT_EQ(log[0].percent, 98) << what;
        EXPECT_EQ(ReadFileBytes(Record()), kExpectedRecord) << what;
    }
    void ExpectNothingHappened(const std::string& what) {
        EXPECT_TRUE(TakeStatusLog().empty()) << what;
        EXPECT_FALSE(FileExists(Record())) << what;
    }
    std::string gameDir;
};

TEST_F(RuntimeTest, InstalledAsTheNumberOneRunsNothing) {
    PlaceInstaller();
    SetInstalledDword(1);
    EnsureRuntimeInstalled();
    ExpectNothingHappened("Installed = 1");
}

TEST_F(RuntimeTest, AnyOtherMarkRunsTheInstallerAndWaitsForIt) {
    struct Case {
        const char* what;
        DWORD type;
        std::string data;
    };
    const DWORD zero = 0;
    const DWORD two = 2;
    const unsigned long long wideOne = 1;
    const std::vector<Case> cases = {
        {"key absent", REG_NONE, ""},
        {"Installed = 0", REG_DWORD, std::string(reinterpret_cast<const char*>(&zero), 4)},
        {"Installed = 2", REG_DWORD, std::string(reinterpret_cast<const char*>(&two), 4)},
        {"Installed as the text 1", REG_SZ, std::string("1", 2)},
        // Eight bytes do not fit the four-byte buffer, so the read fails.
        {"Installed as a 64-bit 1", REG_QWORD,
         std::string(reinterpret_cast<const char*>(&wideOne), 8)},
        {"key without Installed", REG_NONE, "key only"},
    };
    for (const Case& item : cases) {
        ResetLauncherForRun(MakeGameDir("runtime"));
        RemoveRuntimeKey();
        PlaceInstaller();
        if (item.type != REG_NONE) {
            SetInstalledValue(item.type, item.data.data(), static_cast<DWORD>(item.data.size()));
        } else if (!item.data.empty()) {
            DWORD other = 1;
            SetInstalledValue(REG_DWORD, &other, sizeof(other));
            HKEY key = nullptr;
            ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRuntimeKey, 0,
                                    KEY_SET_VALUE | KEY_WOW64_32KEY, &key),
                      ERROR_SUCCESS);
            RegDeleteValueA(key, "Installed");
            RegSetValueExA(key, "Version", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&other),
                           sizeof(other));
            RegCloseKey(key);
        }
        EnsureRuntimeInstalled();
        ExpectInstallerRanAndFinished(item.what);
    }
}

TEST_F(RuntimeTest, TheMarkIsReadFromThe32BitView) {
    // Installed = 1 only in the 64-bit view does not count for the x86 runtime.
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRuntimeKey, 0, nullptr, 0,
                        KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        GTEST_SKIP() << "this prefix has no 64-bit registry view";
    }
    DWORD one = 1;
    RegSetValueExA(key, "Installed", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one),
                   sizeof(one));
    RegCloseKey(key);
    PlaceInstaller();
    EnsureRuntimeInstalled();
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kRuntimeKey, KEY_WOW64_64KEY, 0);
    ExpectInstallerRanAndFinished("Installed = 1 in the 64-bit view only");
}

TEST_F(RuntimeTest, NoInstallerInTheGameFolderShowsNothing) {
    EnsureRuntimeInstalled();
    ExpectNothingHappened("no _Runtime folder");
    // A folder where the installer should be is no installer either.
    CreateDirectoryA((gameDir + "_Runtime").c_str(), nullptr);
    CreateDirectoryA(Installer().c_str(), nullptr);
    SetInstalledDword(0);
    EnsureRuntimeInstalled();
    ExpectNothingHappened("installer name is a folder");
}

// The start request carries no flag that silences the shell, so the system reports a file
// it cannot start in its own box; once that is closed the step ends and the run goes on.
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
    std::vector<StatusRecord> log = TakeStatusLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].text, kInstalling);
}

TEST_F(RuntimeTest, RunsBeforeTheFinalMessageOfACleanRun) {
    PlaceInstaller();
    ServeFile("skh-full/version.txt", "v1\n");
    ServeFile("skh-full/manifest.txt", "# nothing to check\n");
    PatchRunResult result = RunPatchThread();
    // The installer's record is written only as it ends, so finding it now shows the run
    // waited for it before its final message.
    EXPECT_EQ(ReadFileBytes(Record()), kExpectedRecord);
    EXPECT_EQ(result.finalStatus, "File lengkap & terbaru. Siap dimainkan!");
    EXPECT_EQ(result.finishedMessages, 1);
    EXPECT_EQ(Texts(TakeStatusLog()),
              (std::vector<std::string>{"Mengecek versi server...", "Mengecek file game...",
                                        kInstalling, "File lengkap & terbaru. Siap dimainkan!"}));
}

TEST_F(RuntimeTest, RunsAfterARunWithFailedFiles) {
    PlaceInstaller();
    ServeFile("skh-full/version.txt", "v2\n");
    // The listed file is not on the server: its download fails.
    ServeFile("skh-full/manifest.txt", "data/missing.bin|10|big\n");
    PatchRunResult result = RunPatchThread();
    EXPECT_EQ(ReadFileBytes(Record()), kExpectedRecord);
    EXPECT_EQ(result.finalStatus, "Selesai, tapi 1 file gagal. Klik MAIN/ulang.");
    std::vector<std::string> texts = Texts(TakeStatusLog());
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[texts.size() - 2], kInstalling);
}

TEST_F(RuntimeTest, NeverRunsAfterTheOfflineOrManifestEnds) {
    PlaceInstaller();
    PatchRunResult offline = RunPatchThread();
    EXPECT_EQ(offline.finalStatus, "Server offline. Cek koneksi internet.");
    std::vector<std::string> texts = Texts(TakeStatusLog());
    EXPECT_EQ(std::count(texts.begin(), texts.end(), std::string(kInstalling)), 0);
    EXPECT_FALSE(FileExists(Record()));

    ResetLauncherForRun(gameDir);
    ServeFile("skh-full/version.txt", "v3\n");
    PatchRunResult noManifest = RunPatchThread();
    EXPECT_EQ(noManifest.finalStatus, "Gagal ambil daftar file.");
    texts = Texts(TakeStatusLog());
    EXPECT_EQ(std::count(texts.begin(), texts.end(), std::string(kInstalling)), 0);
    EXPECT_FALSE(FileExists(Record()));
}

}  // namespace
