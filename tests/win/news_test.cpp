// NewsThreadProc against the local server: entries, newsCount and exactly one WM_NEWS_READY.
#include <gtest/gtest.h>

#include <process.h>
#include <string.h>

#include "base/launcher_state_win.h"
#include "news/news_thread_win.h"
#include "support/test_support.h"

namespace {

constexpr char kNewsPath[] = "/skh-share/news.txt";

class NewsThreadTest : public ::testing::Test {
protected:
    void SetUp() override { ResetLauncherForRun(MakeGameDir("news")); }

    // Runs the worker on a thread of its own, as the launcher does, and waits for its end;
    // its message lands in this thread's queue because the test window lives here.
    void RunNewsThread() {
        HANDLE thread = reinterpret_cast<HANDLE>(
            _beginthreadex(nullptr, 0, NewsThreadProc, nullptr, 0, nullptr));
        ASSERT_NE(thread, nullptr);
        ASSERT_EQ(WaitForSingleObject(thread, 60000), WAIT_OBJECT_0);
        CloseHandle(thread);
    }
};

TEST_F(NewsThreadTest, NormalFileFillsEntriesThenCountThenOneMessage) {
    memset(gState.newsItems, 0x5a, sizeof(gState.newsItems));
    ServeFile("skh-share/news.txt",
              "# Berita server\r\n"
              "EVENT | Double drop | All weekend\r\n"
              "\r\n"
              "INFO|Server up\r\n"
              "just a line\r\n"
              "PATCH|Versi 1.2|Fix | lagi\r\n");
    RunNewsThread();

    ASSERT_EQ(gState.newsCount.load(), 3);
    EXPECT_STREQ(gState.newsItems[0].tag, "EVENT");
    EXPECT_STREQ(gState.newsItems[0].title, "Double drop");
    EXPECT_STREQ(gState.newsItems[0].body, "All weekend");
    EXPECT_STREQ(gState.newsItems[1].tag, "INFO");
    EXPECT_STREQ(gState.newsItems[1].title, "Server up");
    EXPECT_STREQ(gState.newsItems[1].body, "");
    EXPECT_EQ(gState.newsItems[1].body[159], '\0');
    EXPECT_STREQ(gState.newsItems[2].body, "Fix | lagi");
    // Entries past the count are left alone.
    EXPECT_EQ(gState.newsItems[3].tag[0], 0x5a);
    EXPECT_EQ(DrainPostedMessages(WM_NEWS_READY), 1);
    EXPECT_EQ(CountRequests(kNewsPath), 1);
}

TEST_F(NewsThreadTest, UnreachableServerGivesNoEntriesAndStillOneMessage) {
    ResetLauncherForRun(MakeGameDir("news"), DeadServerUrl());
    RunNewsThread();
    EXPECT_EQ(gState.newsCount.load(), 0);
    EXPECT_EQ(DrainPostedMessages(WM_NEWS_READY), 1);
}

TEST_F(NewsThreadTest, EmptyBodyGivesNoEntriesAndStillOneMessage) {
    SetFault(kNewsPath, "empty");
    RunNewsThread();
    EXPECT_EQ(gState.newsCount.load(), 0);
    EXPECT_EQ(DrainPostedMessages(WM_NEWS_READY), 1);
    EXPECT_EQ(CountRequests(kNewsPath), 1);
}

TEST_F(NewsThreadTest, ErrorPageAndCutBodyGiveNoEntries) {
    // A 404 page, and a body cut short, must never turn into news rows.
    SetFault(kNewsPath, "status 404");
    RunNewsThread();
    EXPECT_EQ(gState.newsCount.load(), 0);
    EXPECT_EQ(DrainPostedMessages(WM_NEWS_READY), 1);

    ResetLauncherForRun(MakeGameDir("news"));
    ServeFile("skh-share/news.txt", "EVENT|Double drop|All weekend\nINFO|Server up\n");
    SetFault(kNewsPath, "cut 20");
    RunNewsThread();
    EXPECT_EQ(gState.newsCount.load(), 0);
    EXPECT_EQ(DrainPostedMessages(WM_NEWS_READY), 1);
}

}  // namespace
