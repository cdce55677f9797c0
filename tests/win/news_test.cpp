// NewsThreadProc against the local server: whatever the server answers, the entries are
// published before the count and the count before exactly one WM_NEWS_READY. (Which answers
// count as received is the transfer's contract, in http_test.)
#include <gtest/gtest.h>

#include <string.h>

#include "base/launcher_state_win.h"
#include "support/test_support.h"

namespace {

TEST(NewsThreadTest, EveryAnswerEndsWithOneMessageAndEntriesOnlyFromAWholeFile) {
    const std::string news = "# Berita\r\nEVENT | Double drop | All weekend\r\nINFO|Server up\r\n";
    const struct {
        const char* what;
        std::string body;
        const char* fault;
        bool dead;
        int count;
        const char* firstTag;
    } rows[] = {
        {"a news file", news, "", false, 2, "EVENT"},
        {"no server", news, "", true, 0, nullptr},
        {"an error page", news, "status 404", false, 0, nullptr},
        {"a news file above 1 MiB, read no further", news + std::string(1 << 20, '#'), "", false, 0,
         nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ResetLauncherForRun(MakeGameDir("news"), row.dead ? DeadServerUrl() : ServerUrl());
        memset(gState.newsItems, 0x5a, sizeof(gState.newsItems));
        ServeFile("skh-share/news.txt", row.body);
        ClearFaults();
        if (*row.fault != '\0')
            SetFault("/skh-share/news.txt", row.fault);
        EXPECT_EQ(RunNewsThread(), 1);
        ASSERT_EQ(gState.newsCount.load(), row.count);
        if (row.firstTag != nullptr) {
            EXPECT_STREQ(gState.newsItems[0].tag, row.firstTag);
        }
        // Entries past the count are left as they were.
        if (row.count < kNewsItemsMax) {
            EXPECT_EQ(gState.newsItems[row.count].tag[0], 0x5a);
        }
        EXPECT_EQ(CountRequests("/skh-share/news.txt"), row.dead ? 0 : 1);
    }
}

}  // namespace
