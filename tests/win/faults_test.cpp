// A broken or hostile server, and a locked or read-only game folder, never cost a good file.
#include <gtest/gtest.h>

#include <process.h>

#include <algorithm>

#include "base/launcher_state_win.h"
#include "news/news_thread_win.h"
#include "base/http_win.h"
#include "base/status_win.h"
#include "test_seams.h"
#include "support/test_support.h"

namespace {

class FaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        gameDir = MakeGameDir("faults");
        ResetLauncherForRun(gameDir);
        ServeFile("skh-full/version.txt", "v2\n");
        ServeFile("skh-full/keep.txt", "keep me");
        ServeFile("skh-full/fresh.txt", "fresh");
        ServeFile("skh-full/manifest.txt", "keep.txt|7|big\nfresh.txt|5|big\n");
        WriteFileBytes(gameDir + "keep.txt", "keep me");
        WriteFileBytes(gameDir + "SKH2026_patch.state", "v1");
    }
    // Runs with one fault in place and checks that the good file and state survived.
    PatchRunResult RunWithFault(const std::string& path, const std::string& fault) {
        ResetLauncherForRun(gameDir);
        SetFault(path, fault);
        PatchRunResult result = RunPatchThread();
        EXPECT_EQ(result.finishedMessages, 1) << path << " " << fault;
        EXPECT_EQ(ReadFileBytes(gameDir + "keep.txt"), "keep me") << path << " " << fault;
        return result;
    }
    std::string gameDir;
};

TEST_F(FaultTest, ControlFileFaultsEndTheRunWithTheirMessageAndKeepTheState) {
    for (const char* fault : {"status 404", "status 500", "reset", "empty", "cut 1"}) {
        PatchRunResult version = RunWithFault("/skh-full/version.txt", fault);
        EXPECT_EQ(version.finalStatus, "Server offline. Cek koneksi internet.") << fault;
        PatchRunResult manifest = RunWithFault("/skh-full/manifest.txt", fault);
        EXPECT_EQ(manifest.finalStatus, "Gagal ambil daftar file.") << fault;
        EXPECT_EQ(ReadFileBytes(gameDir + "SKH2026_patch.state"), "v1") << fault;
        EXPECT_FALSE(FileExists(gameDir + "fresh.txt")) << fault;
        // A broken build-number answer is no update and changes nothing.
        PatchRunResult build = RunWithFault("/skh-share/patcher_version.txt", fault);
        EXPECT_EQ(build.finalStatus, "Update selesai (1 file). Siap dimainkan!") << fault;
        DeleteFileA((gameDir + "fresh.txt").c_str());
        WriteFileBytes(gameDir + "SKH2026_patch.state", "v1");
    }
}

TEST_F(FaultTest, GameFileFaultsCountAsFailedAndLeaveNoErrorPageBehind) {
    for (const char* fault :
         {"status 404", "status 500", "reset", "empty", "cut 2", "cut_nolength 2"}) {
        PatchRunResult result = RunWithFault("/skh-full/fresh.txt", fault);
        EXPECT_EQ(result.finalStatus, "Selesai, tapi 1 file gagal. Klik MAIN/ulang.") << fault;
        EXPECT_EQ(ReadFileBytes(gameDir + "SKH2026_patch.state"), "v1") << fault;
        std::string left = FileExists(gameDir + "fresh.txt") ? ReadFileBytes(gameDir + "fresh.txt")
                                                             : std::string();
        EXPECT_EQ(left.find("<html>"), std::string::npos) << fault;
        DeleteFileA((gameDir + "fresh.txt").c_str());
    }
    PatchRunResult slow = RunWithFault("/skh-full/fresh.txt", "trickle 0.05");
    EXPECT_EQ(slow.finalStatus, "Update selesai (1 file). Siap dimainkan!");
    EXPECT_EQ(ReadFileBytes(gameDir + "fresh.txt"), "fresh");
}

TEST_F(FaultTest, GarbageControlFilesAreHarmless) {
    std::string garbage;
    // Zero-free, so that the launcher reads the whole text rather than stopping at a zero.
    for (int i = 0; i < 70000; ++i) {
        garbage += static_cast<char>(1 + (i * 7919) % 255);
    }
    std::vector<std::string> before = ListFilesRecursive("C:\\skh-tests");
    ServeFile("skh-share/patcher_version.txt", garbage);
    ServeFile("skh-full/version.txt", garbage);
    ServeFile("skh-full/manifest.txt", garbage + "\nfresh.txt|5|big\n");
    ResetLauncherForRun(gameDir);
    PatchRunResult result = RunPatchThread();
    EXPECT_EQ(result.finishedMessages, 1);
    EXPECT_EQ(ReadFileBytes(gameDir + "keep.txt"), "keep me");
    EXPECT_EQ(ReadFileBytes(gameDir + "fresh.txt"), "fresh");
    // Everything the garbage produced stayed inside the game folder.
    for (const std::string& file : ListFilesRecursive("C:\\skh-tests")) {
        bool known = std::find(before.begin(), before.end(), file) != before.end();
        EXPECT_TRUE(known || file.rfind("faults\\", 0) == 0) << file;
    }
}

TEST_F(FaultTest, ALargeManifestIsReadWhole) {
    std::string manifest;
    while (manifest.size() < 50u * 1024 * 1024) {
        manifest += "# padding line of a very large manifest, ignored by the launcher\n";
    }
    manifest += "fresh.txt|5|big\n";
    ServeFile("skh-full/manifest.txt", manifest);
    ResetLauncherForRun(gameDir);
    PatchRunResult result = RunPatchThread();
    EXPECT_EQ(result.finalStatus, "Update selesai (1 file). Siap dimainkan!");
}

TEST_F(FaultTest, ReadOnlyAndLockedFilesFailAloneAndTheRestGoesOn) {
    ServeFile("skh-full/readonly.txt", "new contents");
    ServeFile("skh-full/locked.txt", "new contents");
    ServeFile("skh-full/manifest.txt",
              "readonly.txt|12|big\nlocked.txt|12|big\nkeep.txt|7|big\nfresh.txt|5|big\n");
    WriteFileBytes(gameDir + "readonly.txt", "old");
    SetFileAttributesA((gameDir + "readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    WriteFileBytes(gameDir + "locked.txt", "old");
    HANDLE lock = CreateFileA((gameDir + "locked.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    ResetLauncherForRun(gameDir);
    PatchRunResult result = RunPatchThread();
    CloseHandle(lock);
    SetFileAttributesA((gameDir + "readonly.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    // Windows refuses to replace a read-only file; Wine running as root cannot refuse (it
    // maps the attribute to permission bits, which root ignores). Either way the file holds
    // the old or the new contents whole, and a refusal counts as a failure.
    std::string readonly = ReadFileBytes(gameDir + "readonly.txt");
    ASSERT_TRUE(readonly == "old" || readonly == "new contents") << readonly;
    int expectedFailures = readonly == "old" ? 2 : 1;
    EXPECT_EQ(result.finalStatus, "Selesai, tapi " + std::to_string(expectedFailures) +
                                      " file gagal. Klik MAIN/ulang.");
    EXPECT_EQ(ReadFileBytes(gameDir + "locked.txt"), "old");
    EXPECT_EQ(ReadFileBytes(gameDir + "fresh.txt"), "fresh");
    EXPECT_EQ(ReadFileBytes(gameDir + "SKH2026_patch.state"), "v1");
}

}  // namespace

namespace {

int RunNewsOnce() {
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, NewsThreadProc, nullptr, 0, nullptr));
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return DrainPostedMessages(WM_NEWS_READY);
}

TEST(NewsFaultTest, DroppedAndGarbledAnswersEndWithOneMessageAndBoundedEntries) {
    ServeFile("skh-share/news.txt", "EVENT|Double drop|All weekend\n");
    for (const char* fault : {"status 500", "reset", "stall 1"}) {
        ResetLauncherForRun(MakeGameDir("news-faults"));
        SetFault("/skh-share/news.txt", fault);
        EXPECT_EQ(RunNewsOnce(), 1) << fault;
        EXPECT_EQ(gState.newsCount.load(), 0) << fault;
    }
    std::string garbage;
    for (int i = 0; i < 100000; ++i)
        garbage += static_cast<char>(1 + (i * 131) % 255);
    ServeFile("skh-share/news.txt", garbage);
    ResetLauncherForRun(MakeGameDir("news-faults"));
    EXPECT_EQ(RunNewsOnce(), 1);
    int count = gState.newsCount.load();
    EXPECT_GE(count, 0);
    EXPECT_LE(count, 5);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(gState.newsItems[i].tag[sizeof(gState.newsItems[i].tag) - 1], '\0');
        EXPECT_EQ(gState.newsItems[i].title[sizeof(gState.newsItems[i].title) - 1], '\0');
        EXPECT_EQ(gState.newsItems[i].body[sizeof(gState.newsItems[i].body) - 1], '\0');
    }
}

}  // namespace
