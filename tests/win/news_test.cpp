// NewsThreadProc against the local server: whatever the server answers, the count is published
// before exactly one WM_NEWS_READY, and entries come only from a whole file. (Which answers
// count as received is the transfer's contract, in http_test.)
#include <gtest/gtest.h>

#include <string.h>

#include "base/launcher_state_win.h"
#include "support/test_support.h"

namespace {

TEST(NewsThreadTest, EveryAnswerEndsWithOneMessageAndEntriesOnlyFromAWholeFile) {
    const std::string news = "# Berita\r\nEVENT | Double drop | All weekend\r\nINFO|Server up\r\n";
    const struct {
        std::string body;
        const char* fault;  // "dead": no server
        int count;
    } rows[] = {
        {news, "", 2},
        {news, "dead", 0},
        {news, "status 404", 0},
        {news + std::string(1 << 20, '#'), "", 0},  // above 1 MiB: read no further
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.fault) + std::to_string(row.body.size()));
        const bool dead = strcmp(row.fault, "dead") == 0;
        ResetLauncherForRun(MakeGameDir("news"), dead ? DeadServerUrl() : ServerUrl());
        memset(gState.newsItems, 0x5a, sizeof(gState.newsItems));
        ServeFile("skh-share/news.txt", row.body);
        if (*row.fault != '\0' && !dead)
            SetFault("/skh-share/news.txt", row.fault);
        const NewsRunResult run = RunNewsThread();
        EXPECT_EQ(run.posts, 1);
        EXPECT_EQ(run.countWhenPosted, row.count);
        ASSERT_EQ(gState.newsCount.load(), row.count);
        if (row.count > 0) {
            EXPECT_STREQ(gState.newsItems[0].tag, "EVENT");
        }
        // Entries past the count are left as they were.
        EXPECT_EQ(gState.newsItems[row.count].tag[0], 0x5a);
        EXPECT_EQ(CountRequests("/skh-share/news.txt"), dead ? 0 : 1);
    }
}

}  // namespace
