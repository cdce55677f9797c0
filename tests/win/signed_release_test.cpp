// A launcher built with a release key against trees signed by the real skh_publish
// (tests/harness/signed_fixtures.sh): what it takes, and what it refuses without writing.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <stdlib.h>

#include <algorithm>
#include <functional>

#include "base/run_log_win.h"
#include "patch/release_key.h"
#include "patch/self_update_win.h"
#include "support/import_hook.h"
#include "support/test_support.h"

namespace {

const char kNoManifest[] = "Gagal ambil daftar file.";
const std::string kSeq2 = " 2";  // the sequence record's end after the release "seq2"
using Files = std::vector<const char*>;
const Files kTreeFiles = {"version.txt", "manifest.txt", "a.txt", "data/b.dat",
                          "_Runtime/vc_redist.x86.exe"};

std::string Fixture(const std::string& tree, const std::string& path) {
    return ReadFileBytes(FromUnix(std::string(getenv("SKH_FIXTURES")) + "/" + tree + "/" + path));
}

// Serves a fixture tree as the full-client tree, or one file of it with one byte changed.
void ServeTree(const std::string& tree, const Files& files = kTreeFiles) {
    for (const char* file : files)
        ServeFile(std::string("skh-full/") + file, Fixture(tree, std::string("skh-full/") + file));
}
void ServeChanged(const std::string& tree, const std::string& path, size_t at) {
    std::string bytes = Fixture(tree, "skh-full/" + path);
    bytes[at] ^= 1;
    ServeFile("skh-full/" + path, bytes);
}

// Notes, as the runtime installer starts, its folder's files and whether it could be replaced.
void* gRealShellExecuteEx = nullptr;
std::vector<std::string> gInstallerFolder;
bool gInstallerReplaceable = false;
BOOL WINAPI WatchedShellExecuteEx(SHELLEXECUTEINFOA* info) {
    const std::string path = info->lpFile;
    gInstallerFolder = ListFilesRecursive(path.substr(0, path.rfind('\\') + 1));
    for (DWORD access : {static_cast<DWORD>(GENERIC_WRITE), static_cast<DWORD>(DELETE)}) {
        HANDLE other = CreateFileA(path.c_str(), access,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
        gInstallerReplaceable = gInstallerReplaceable || other != INVALID_HANDLE_VALUE;
        if (other != INVALID_HANDLE_VALUE)
            CloseHandle(other);
    }
    return reinterpret_cast<BOOL(WINAPI*)(SHELLEXECUTEINFOA*)>(gRealShellExecuteEx)(info);
}

// A shell that refuses to start a program, as ShellExecuteA answers it.
HINSTANCE WINAPI FailingShellExecute(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT) {
    return reinterpret_cast<HINSTANCE>(SE_ERR_ACCESSDENIED);
}

// Wine's GetProcessHandleCount answers 0. A new handle takes the lowest free slot, so the last
// of 256 new handles lands one slot higher for every handle left open since the last call.
HANDLE LastOfNewHandles() {
    HANDLE probes[256];
    for (HANDLE& probe : probes)
        probe = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    for (HANDLE probe : probes)
        CloseHandle(probe);
    return probes[255];
}

class SignedReleaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(getenv("SKH_FIXTURES"), nullptr) << "run through ctest";
        Fresh();
    }
    void Fresh() {
        dir = MakeGameDir("signed");
        ResetLauncherForRun(dir);
        ServeTree("seq2");
    }
    std::string Log() const { return ReadFileBytes(dir + "SKH2026_patch.log"); }
    std::string dir;
};

TEST_F(SignedReleaseTest, AReleaseTheKeyDoesNotVouchForIsNoManifestAtAll) {
    const struct {
        const char* what;
        std::function<void()> arrange;
        const char* log;
    } rows[] = {
        {"one byte of the manifest changed", [] { ServeChanged("seq2", "manifest.txt", 60); },
         "signature does not match"},
        {"signed with another key", [] { ServeTree("other"); }, "signature does not match"},
        {"not signed", [] { ServeTree("unsigned"); }, "manifest is not a signed release"},
        {"a version line that is not the signed one",
         [] { ServeFile("skh-full/version.txt", "v9\n"); }, "is not the signed one"},
        {"an older release than the folder took with this key",
         [this] {
             ServeTree("seq1");
             WriteFileBytes(dir + "SKH2026_patch.sequence", kReleaseKeyFingerprint + kSeq2);
         },
         "signed release 1 is older than release 2"},
        {"a sequence record that cannot be read",
         [this] { WriteFileBytes(dir + "SKH2026_patch.sequence", "2 x"); }, "cannot be read"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Fresh();
        row.arrange();
        const std::vector<std::string> before = ListFilesRecursive(dir);
        EXPECT_EQ(RunPatchThread().finalStatus, kNoManifest);
        std::vector<std::string> after = ListFilesRecursive(dir);
        after.erase(std::remove(after.begin(), after.end(), "SKH2026_patch.log"), after.end());
        EXPECT_EQ(after, before);
        EXPECT_NE(Log().find(row.log), std::string::npos) << Log();
    }
}

TEST_F(SignedReleaseTest, ASignedReleaseIsTakenAndEveryDownloadMustMatchItsDigest) {
    // A file changed behind a correct manifest fails, and so does one cut short.
    ServeChanged("seq2", "data/b.dat", 4);
    SetFault("/skh-full/a.txt", "cut 1");
    PatchRunResult result = RunPatchThread();
    EXPECT_EQ(result.finalStatus, "Selesai, tapi 2 file gagal. Klik MAIN/ulang.");
    EXPECT_EQ(ReadFileBytes(dir + "SKH2026_patch.sequence"), kReleaseKeyFingerprint + kSeq2);

    // The honest file completes the release, every handle returned; the missing runtime's
    // installer runs alone in its folder (not beside _Runtime's planted DLL), held unreplaceable.
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE,
                    "SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x86", KEY_WOW64_32KEY,
                    0);
    ServeTree("seq2");
    ResetLauncherForRun(dir);
    WriteFileBytes(dir + "_Runtime\\version.dll", "planted");
    gRealShellExecuteEx = RedirectImport("SHELL32.dll", "ShellExecuteExA",
                                         reinterpret_cast<void*>(WatchedShellExecuteEx));
    const HANDLE handlesBefore = LastOfNewHandles();
    result = RunPatchThread();
    EXPECT_EQ(LastOfNewHandles(), handlesBefore);
    EXPECT_EQ(result.finalStatus, "Update selesai (2 file). Siap dimainkan!");
    EXPECT_EQ(gInstallerFolder, std::vector<std::string>{"vc_redist.x86.exe"});
    EXPECT_FALSE(gInstallerReplaceable);

    // An installer changed at its own size passes the size check, not the digest before start.
    std::string installer = ReadFileBytes(dir + "_Runtime\\vc_redist.x86.exe");
    installer[installer.size() / 2] ^= 1;
    WriteFileBytes(dir + "_Runtime\\vc_redist.x86.exe", installer);
    gInstallerFolder.clear();
    ResetLauncherForRun(dir);
    result = RunPatchThread();
    RedirectImport("SHELL32.dll", "ShellExecuteExA", gRealShellExecuteEx);
    EXPECT_EQ(result.finalStatus, "File lengkap & terbaru. Siap dimainkan!");
    EXPECT_EQ(result.steps.at(result.steps.size() - 2).text,
              "Installer Visual C++ tidak cocok dengan rilis resmi, dilewati.");
    EXPECT_TRUE(gInstallerFolder.empty());

    // Another key's record (after a poisoned release) holds this key back in nothing; a record
    // that cannot be replaced fails the run, and the version is not recorded.
    Fresh();
    WriteFileBytes(dir + "SKH2026_patch.sequence", std::string(64, '9') + " 999999999999999999");
    HANDLE held = CreateFileA((dir + "SKH2026_patch.sequence").c_str(), GENERIC_READ,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    result = RunPatchThread();
    CloseHandle(held);
    EXPECT_EQ(result.finalStatus, "Selesai, tapi 1 file gagal. Klik MAIN/ulang.");
    EXPECT_FALSE(FileExists(dir + "SKH2026_patch.state"));
    EXPECT_NE(Log().find("SKH2026_patch.sequence not written"), std::string::npos) << Log();

    // A big file's index is signed through its digest on the "#@chunks" line: a changed one fails
    // its file alone (the honest one syncs in nginx_publish_test).
    Fresh();
    ServeTree("chunks", {"version.txt", "manifest.txt", "big.pak", "#chunks/big.pak.idx"});
    ServeChanged("chunks", "#chunks/big.pak.idx", 100);
    EXPECT_EQ(RunPatchThread().finalStatus, "Selesai, tapi 1 file gagal. Klik MAIN/ulang.");
    EXPECT_FALSE(FileExists(dir + "big.pak"));
    EXPECT_NE(Log().find("/skh-full/%23chunks/big.pak.idx: SHA-256 "), std::string::npos) << Log();
}

// With a shell that cannot start the script, a launcher taken says so in the log instead.
TEST_F(SignedReleaseTest, OnlyASignedHigherLauncherBuildIsTaken) {
    RedirectImport("SHELL32.dll", "ShellExecuteA", reinterpret_cast<void*>(FailingShellExecute));
    const std::string offer = Fixture("launcher5", "skh-share/patcher_version.txt"),
                      launcher = Fixture("launcher5", "skh-share/SKH2026_Patcher.exe");
    std::string swapped = launcher;
    swapped.back() ^= 1;
    const struct {
        const char* what;
        std::string offer, served;
        int downloads;
        const char* log;
    } rows[] = {
        {"signed build 5", offer, launcher, 1, "cannot start"},
        {"an unsigned offer", "5\n", launcher, 0, "the launcher offer is not signed"},
        {"an older signed build", Fixture("launcher3", "skh-share/patcher_version.txt"), launcher,
         0, nullptr},
        {"another launcher behind the signed offer", offer, swapped, 1,
         "not the offered launcher build 5"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Fresh();
        ASSERT_TRUE(OpenRunLog());
        ServeFile("skh-share/patcher_version.txt", row.offer);
        ServeFile("skh-share/SKH2026_Patcher.exe", row.served);
        TrySelfUpdate();
        EXPECT_EQ(CountRequests("/skh-share/SKH2026_Patcher.exe"), row.downloads);
        EXPECT_TRUE(ListFilesRecursive(dir) == std::vector<std::string>{"SKH2026_patch.log"});
        EXPECT_NE(Log().find(row.log != nullptr ? row.log : ""), std::string::npos) << Log();
    }
}

}  // namespace
