// A run leaves no kernel handle behind, a full disk fails alone, big news files are harmless.
#include <gtest/gtest.h>

#include <process.h>
#include <stdlib.h>

#include "base/launcher_state_win.h"
#include "news/news_thread_win.h"
#include "base/http_win.h"
#include "base/status_win.h"
#include "test_seams.h"
#include "support/test_support.h"

namespace {

// Wine's GetProcessHandleCount always answers 0. Handle values come from the lowest free
// slot of the process's table, so a leaked handle shows as a new handle landing higher.
HANDLE NextFreeHandleSlot() {
    HANDLE probe = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    CloseHandle(probe);
    return probe;
}

void PublishSmallClient() {
    ServeFile("skh-full/version.txt", "v1\n");
    std::string manifest;
    for (int i = 0; i < 40; ++i) {
        std::string name = "dir" + std::to_string(i % 5) + "/file" + std::to_string(i) + ".txt";
        std::string content = "content " + std::to_string(i);
        ServeFile("skh-full/" + name, content);
        manifest += name + "|" + std::to_string(content.size()) + "|" + Sha1Hex(content) + "\n";
    }
    ServeFile("skh-full/manifest.txt", manifest);
}

TEST(LeakTest, ACompleteRunReturnsEveryHandleItOpened) {
    std::string gameDir = MakeGameDir("leaks");
    ResetLauncherForRun(gameDir);
    PublishSmallClient();
    // The first run lets WinINet and CryptoAPI set up whatever they keep for the process.
    ASSERT_EQ(RunPatchThread().finalStatus, "Update selesai (40 file). Siap dimainkan!");
    HANDLE before = NextFreeHandleSlot();
    for (int run = 0; run < 3; ++run) {
        ResetLauncherForRun(MakeGameDir("leaks"));
        ServeFile("skh-full/version.txt", "v" + std::to_string(run + 2) + "\n");
        PatchRunResult result = RunPatchThread();
        ASSERT_EQ(result.finalStatus, "Update selesai (40 file). Siap dimainkan!");
        // A second pass over the same files hashes every one of them.
        ServeFile("skh-full/version.txt", "w" + std::to_string(run) + "\n");
        ResetLauncherForRun(gameDir);
        ASSERT_EQ(RunPatchThread().finalStatus, "File lengkap & terbaru. Siap dimainkan!");
    }
    EXPECT_EQ(NextFreeHandleSlot(), before);
}

TEST(FullDiskTest, AFullDiskFailsTheDownloadsButNeverAGoodFile) {
    const char* smallDisk = getenv("SKH_TEST_SMALL_DISK");
    if (smallDisk == nullptr)
        GTEST_SKIP() << "needs root to mount a 1 MiB file system";
    std::string gameDir = "Z:";
    for (const char* p = smallDisk; *p != '\0'; ++p)
        gameDir += (*p == '/') ? '\\' : *p;
    gameDir += "\\";
    ResetLauncherForRun(gameDir);
    std::string huge(3 * 1024 * 1024, 'h');
    ServeFile("skh-full/version.txt", "v1\n");
    ServeFile("skh-full/first.txt", "first");
    ServeFile("skh-full/huge.bin", huge);
    ServeFile("skh-full/last.txt", "last");
    ServeFile("skh-full/manifest.txt", "first.txt|5|big\nhuge.bin|" + std::to_string(huge.size()) +
                                           "|big\nlast.txt|4|big\n");
    PatchRunResult result = RunPatchThread();
    // The partial file that filled the disk stays, as every partial download does, so the
    // file after it has no room either; the one before it is untouched.
    EXPECT_EQ(result.finalStatus, "Selesai, tapi 2 file gagal. Klik MAIN/ulang.");
    EXPECT_EQ(ReadFileBytes(gameDir + "first.txt"), "first");
    EXPECT_FALSE(FileExists(gameDir + "SKH2026_patch.state"));

    // Once there is room again, the next start completes what fits.
    DeleteFileA((gameDir + "huge.bin").c_str());
    ServeFile("skh-full/manifest.txt", "first.txt|5|big\nlast.txt|4|big\n");
    ResetLauncherForRun(gameDir);
    EXPECT_EQ(RunPatchThread().finalStatus, "Update selesai (1 file). Siap dimainkan!");
    EXPECT_EQ(ReadFileBytes(gameDir + "last.txt"), "last");
    EXPECT_EQ(ReadFileBytes(gameDir + "SKH2026_patch.state"), "v1");
}

struct NewsRun {
    int count;
    int readyMessages;
};

NewsRun RunNewsThread() {
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, NewsThreadProc, nullptr, 0, nullptr));
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return {gState.newsCount.load(), DrainPostedMessages(WM_NEWS_READY)};
}

TEST(LargeNewsTest, FiftyMegabytesOfNewsStillGiveFiveEntries) {
    ResetLauncherForRun(MakeGameDir("news-large"));
    std::string news;
    while (news.size() < 50u * 1024 * 1024)
        news += "#" + std::string(200, 'c') + "\n";
    for (int i = 0; i < 7; ++i)
        news += "TAG" + std::to_string(i) + "|Title|Body\n";
    ServeFile("skh-share/news.txt", news);
    NewsRun run = RunNewsThread();
    EXPECT_EQ(run.count, 5);
    EXPECT_EQ(run.readyMessages, 1);
    EXPECT_STREQ(gState.newsItems[0].tag, "TAG0");
    EXPECT_STREQ(gState.newsItems[4].tag, "TAG4");
}

}  // namespace
