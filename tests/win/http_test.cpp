// HttpFetchText, HttpDownloadFile and SetStatus against the local HTTPS server.
#include <gtest/gtest.h>

#include <stdlib.h>

#include "base/launcher_state_win.h"
#include "base/http_win.h"
#include "base/status_win.h"
#include "test_seams.h"
#include "support/test_support.h"

namespace {

std::string Url(const std::string& path) {
    return ServerUrl() + path;
}

struct FetchResult {
    bool ok;
    std::string body;
    int length;
};

FetchResult Fetch(const std::string& url) {
    FetchedText text = HttpFetchText(url.c_str());
    if (text.text == nullptr)
        return {false, "", 0};
    return {true, std::string(text.text, text.length), text.length};
}

class HttpTest : public ::testing::Test {
protected:
    void SetUp() override { ResetLauncherForRun(MakeGameDir("http")); }
    std::string Dest(const std::string& name) { return std::string(gState.gameDir) + name; }
};

TEST_F(HttpTest, FetchTextReturnsWholeBodyWithTerminator) {
    ServeFile("skh-full/version.txt", "7\r\n");
    FetchResult result = Fetch(Url("/skh-full/version.txt"));
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.body, "7\r\n");
    EXPECT_EQ(result.length, 3);
}

TEST_F(HttpTest, FetchTextGrowsPastInitialCapacityAndKeepsZeroBytes) {
    std::string body(126977, 'a');
    body[10] = '\0';
    ServeFile("skh-share/big.txt", body);
    FetchResult result = Fetch(Url("/skh-share/big.txt"));
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.length, 126977);
    EXPECT_EQ(result.body, body);
}

TEST_F(HttpTest, FetchTextEmptyBodyIsEmptyText) {
    SetFault("/skh-full/version.txt", "empty");
    FetchResult result = Fetch(Url("/skh-full/version.txt"));
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.length, 0);
}

TEST_F(HttpTest, FetchTextFailsOnErrorStatusRefusalAndCutBodies) {
    ServeFile("skh-full/manifest.txt", std::string(50000, 'm'));
    SetFault("/skh-full/manifest.txt", "status 404");
    EXPECT_FALSE(Fetch(Url("/skh-full/manifest.txt")).ok);
    ClearFaults();
    SetFault("/skh-full/manifest.txt", "status 500");
    EXPECT_FALSE(Fetch(Url("/skh-full/manifest.txt")).ok);
    ClearFaults();
    SetFault("/skh-full/manifest.txt", "cut 20000");
    EXPECT_FALSE(Fetch(Url("/skh-full/manifest.txt")).ok);
    ClearFaults();
    SetFault("/skh-full/manifest.txt", "reset");
    EXPECT_FALSE(Fetch(Url("/skh-full/manifest.txt")).ok);
    ClearFaults();
    EXPECT_FALSE(Fetch(DeadServerUrl() + "/skh-full/manifest.txt").ok);
    // Without a Content-Length a cut cannot be told from the end of the body.
    SetFault("/skh-full/manifest.txt", "cut_nolength 20000");
    FetchResult cut = Fetch(Url("/skh-full/manifest.txt"));
    if (cut.ok) {
        EXPECT_EQ(cut.length, 20000);
    }
    ClearFaults();
    FetchResult whole = Fetch(Url("/skh-full/manifest.txt"));
    ASSERT_TRUE(whole.ok);
    EXPECT_EQ(whole.length, 50000);
}

TEST_F(HttpTest, RequestsCarryTheLauncherIdentityAndNoCachePragma) {
    ServeFile("skh-full/version.txt", "1");
    ASSERT_TRUE(Fetch(Url("/skh-full/version.txt")).ok);
    ASSERT_TRUE(HttpDownloadFile(Url("/skh-full/version.txt").c_str(), Dest("v").c_str(), 1));
    std::vector<RequestRecord> requests = ReadRequests();
    ASSERT_EQ(requests.size(), 2u);
    for (const RequestRecord& request : requests) {
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.path, "/skh-full/version.txt");
        EXPECT_EQ(request.Header("User-Agent"), "SKH2026-Patcher/1.0");
        EXPECT_EQ(request.Header("Pragma"), "no-cache");
    }
}

TEST_F(HttpTest, DownloadStoresBodyAndChecksSize) {
    ServeFile("skh-full/data/a.bin", "hello world");
    EXPECT_TRUE(HttpDownloadFile(Url("/skh-full/data/a.bin").c_str(), Dest("a.bin").c_str(), 11));
    EXPECT_EQ(ReadFileBytes(Dest("a.bin")), "hello world");
    // The wrong size keeps what arrived but reports failure.
    EXPECT_FALSE(HttpDownloadFile(Url("/skh-full/data/a.bin").c_str(), Dest("b.bin").c_str(), 12));
    EXPECT_EQ(ReadFileBytes(Dest("b.bin")), "hello world");
    // An unknown size accepts whatever arrived.
    EXPECT_TRUE(HttpDownloadFile(Url("/skh-full/data/a.bin").c_str(), Dest("c.bin").c_str(), -1));
    SetFault("/skh-full/empty.bin", "empty");
    EXPECT_TRUE(HttpDownloadFile(Url("/skh-full/empty.bin").c_str(), Dest("e.bin").c_str(), 0));
    EXPECT_TRUE(FileExists(Dest("e.bin")));
    EXPECT_TRUE(TakeStatusLog().empty());
}

TEST_F(HttpTest, DownloadFailuresBeforeTheBodyLeaveTheDestinationUntouched) {
    ServeFile("skh-full/a.bin", "new contents");
    for (const char* fault : {"status 404", "status 500", "reset"}) {
        WriteFileBytes(Dest("a.bin"), "old");
        ClearFaults();
        SetFault("/skh-full/a.bin", fault);
        EXPECT_FALSE(HttpDownloadFile(Url("/skh-full/a.bin").c_str(), Dest("a.bin").c_str(), -1))
            << fault;
        EXPECT_EQ(ReadFileBytes(Dest("a.bin")), "old") << fault;
    }
    WriteFileBytes(Dest("a.bin"), "old");
    EXPECT_FALSE(
        HttpDownloadFile((DeadServerUrl() + "/skh-full/a.bin").c_str(), Dest("a.bin").c_str(), 12));
    EXPECT_EQ(ReadFileBytes(Dest("a.bin")), "old");
    EXPECT_FALSE(FileExists(Dest("never.bin")));
}

TEST_F(HttpTest, DownloadCutInMidBodyFailsAndKeepsThePartialFile) {
    std::string body(300000, 'x');
    ServeFile("skh-full/cut.bin", body);
    SetFault("/skh-full/cut.bin", "cut 100000");
    // Also with an unknown expected size: the announced length still reveals the cut.
    EXPECT_FALSE(HttpDownloadFile(Url("/skh-full/cut.bin").c_str(), Dest("cut.bin").c_str(), -1));
    EXPECT_EQ(ReadFileBytes(Dest("cut.bin")).size(), 100000u);
    ClearFaults();
    SetFault("/skh-full/cut.bin", "cut_nolength 100000");
    EXPECT_FALSE(
        HttpDownloadFile(Url("/skh-full/cut.bin").c_str(), Dest("cut2.bin").c_str(), 300000));
    EXPECT_EQ(ReadFileBytes(Dest("cut2.bin")).size(), 100000u);
}

TEST_F(HttpTest, DownloadStopsWhenTheBodyRunsPastTheExpectedSize) {
    ServeFile("skh-full/long.bin", std::string(1 << 20, 'z'));
    SetFault("/skh-full/long.bin", "nolength");
    EXPECT_FALSE(
        HttpDownloadFile(Url("/skh-full/long.bin").c_str(), Dest("long.bin").c_str(), 1000));
    EXPECT_LE(ReadFileBytes(Dest("long.bin")).size(), 1000u);
}

TEST_F(HttpTest, ProgressLineOnlyAboveEightMebibytes) {
    ServeFile("skh-full/eight.bin", std::string(8388608, 'e'));
    ServeFile("skh-full/eightplus.bin", std::string(8388609, 'f'));
    EXPECT_TRUE(
        HttpDownloadFile(Url("/skh-full/eight.bin").c_str(), Dest("eight.bin").c_str(), 8388608));
    EXPECT_TRUE(TakeStatusLog().empty());
    gState.progressPercent.store(42);
    EXPECT_TRUE(HttpDownloadFile(Url("/skh-full/eightplus.bin").c_str(),
                                 Dest("eightplus.bin").c_str(), 8388609));
    std::vector<StatusRecord> log = TakeStatusLog();
    ASSERT_EQ(log.size(), 129u);  // one line per 64 KiB chunk, the last one a single byte
    EXPECT_EQ(log.front().text, "Mengunduh data game...  0 / 8 MB");
    EXPECT_EQ(log.front().percent, -1);
    EXPECT_EQ(log.back().text, "Mengunduh data game...  8 / 8 MB");
    EXPECT_EQ(gState.progressPercent.load(), 42);
}

TEST(SetStatusTest, CutsAt299AndKeepsProgressForNegativePercent) {
    ResetLauncherForRun(MakeGameDir("status"));
    std::string longText(400, 's');
    SetStatus(longText.c_str(), 17);
    char copy[kStatusTextSize];
    ReadStatusText(copy);
    EXPECT_EQ(std::string(copy), longText.substr(0, 299));
    EXPECT_EQ(gState.progressPercent.load(), 17);
    SetStatus("short", -1);
    ReadStatusText(copy);
    EXPECT_STREQ(copy, "short");
    EXPECT_EQ(gState.progressPercent.load(), 17);
    SetStatus("zero", 0);
    EXPECT_EQ(gState.progressPercent.load(), 0);
}

}  // namespace
