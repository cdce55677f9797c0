// The WinINet transfer contract against the local HTTPS server: one table of server faults
// for both operations, then identity, growth, progress lines and a full disk.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>

#include "base/http_win.h"
#include "base/launcher_state_win.h"
#include "base/run_log_win.h"
#include "base/status_win.h"
#include "support/test_support.h"

namespace {

constexpr char kBody[] = "hello world";  // 11 bytes
constexpr int kOld = -2;                 // the destination still holds its old contents
constexpr int kNotFetched = -3;          // WinINet cannot tell this cut from an end

struct FetchResult {
    bool ok;
    std::string body;
};

FetchResult Fetch(const std::string& url) {
    FetchedText text = HttpFetchText(url.c_str());
    if (text.text == nullptr)
        return {false, ""};
    return {true, std::string(text.text, text.length)};
}

class HttpTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = MakeGameDir("http");
        ResetLauncherForRun(dir);
        ASSERT_TRUE(OpenRunLog());
        ServeFile("skh-full/a.bin", kBody);
    }
    std::string dir;
};

TEST_F(HttpTest, EachServerFaultGivesItsResultAndNeverAnErrorPageAsData) {
    const struct {
        const char* fault;  // on /skh-full/a.bin; "dead" for an address nothing listens on
        int fetchLength;    // -1: no text
        long long expectedSize;
        bool downloaded;
        int fileSize;     // afterwards, or kOld
        const char* log;  // a line the run log must hold
    } rows[] = {
        {"", 11, 11, true, 11, nullptr},
        {"nolength", 11, 11, true, 11, nullptr},
        {"empty", 0, 0, true, 0, nullptr},
        {"status 404", -1, -1, false, kOld, "a.bin: HTTP status 404"},
        {"status 500", -1, 11, false, kOld, "a.bin: HTTP status 500"},
        {"status 201", -1, 11, false, kOld, "a.bin: HTTP status 201"},  // only 200 is the file
        {"reset", -1, 11, false, kOld, "a.bin: no "},                   // connection or answer
        {"dead", -1, 11, false, kOld, "a.bin: no connection (error 12029)"},
        // The announced length reveals a cut, also when the caller does not know the size.
        {"cut 5", -1, -1, false, 5, "a.bin: body ended after 5 of 11 bytes"},
        {"cut_nolength 5", kNotFetched, 11, false, 5, "holds 5 bytes, the manifest lists 11"},
        {"", 11, 12, false, 11, "holds 11 bytes, the manifest lists 12"},
        // A body that runs past the listed size is cut off before it can fill the disk.
        {"nolength", 11, 4, false, 0, "a.bin: body longer than the 4 bytes listed"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.fault) + " expecting " + std::to_string(row.expectedSize));
        ClearFaults();
        ASSERT_TRUE(OpenRunLog());
        const bool dead = std::string(row.fault) == "dead";
        if (*row.fault != '\0' && !dead)
            SetFault("/skh-full/a.bin", row.fault);
        const std::string url = (dead ? DeadServerUrl() : ServerUrl()) + "/skh-full/a.bin";
        if (row.fetchLength != kNotFetched) {
            FetchResult fetched = Fetch(url);
            EXPECT_EQ(fetched.ok, row.fetchLength >= 0);
            if (row.fetchLength >= 0) {
                EXPECT_EQ(fetched.body, std::string(kBody).substr(0, row.fetchLength));
            }
        }
        WriteFileBytes(dir + "a.bin", "old");
        EXPECT_EQ(HttpDownloadFile(url.c_str(), (dir + "a.bin").c_str(), row.expectedSize),
                  row.downloaded);
        const std::string left = ReadFileBytes(dir + "a.bin");
        if (row.fileSize == kOld) {
            EXPECT_EQ(left, "old");
        } else {
            EXPECT_EQ(left, std::string(kBody).substr(0, row.fileSize));
        }
        if (row.log != nullptr) {
            EXPECT_NE(ReadFileBytes(dir + "SKH2026_patch.log").find(row.log), std::string::npos)
                << ReadFileBytes(dir + "SKH2026_patch.log");
        }
    }
}

TEST_F(HttpTest, RequestsCarryTheIdentityAndNoCachePragmaAndTextsGrowWhole) {
    ASSERT_TRUE(Fetch(ServerUrl() + "/skh-full/a.bin").ok);
    ASSERT_TRUE(
        HttpDownloadFile((ServerUrl() + "/skh-full/a.bin").c_str(), (dir + "b").c_str(), 11));
    std::vector<RequestRecord> requests = ReadRequests();
    ASSERT_EQ(requests.size(), 2u);
    for (const RequestRecord& request : requests) {
        EXPECT_EQ(request.path, "/skh-full/a.bin");
        EXPECT_NE(request.line.find("\tUser-Agent: SKH2026-Patcher/1.0"), std::string::npos);
        EXPECT_NE(request.line.find("\tPragma: no-cache"), std::string::npos);
    }
    // 126,977 bytes leave less than 4 KiB free in the first 128 KiB: the buffer grows once.
    std::string body(126977, 'a');
    body[10] = '\0';
    ServeFile("skh-share/big.txt", body);
    FetchResult grown = Fetch(ServerUrl() + "/skh-share/big.txt");
    ASSERT_TRUE(grown.ok);
    EXPECT_EQ(grown.body, body);
}

TEST_F(HttpTest, MegabyteLinesOnlyAboveEightMebibytesAndTheBarStays) {
    ServeFile("skh-full/eight.bin", std::string(8 << 20, 'e'));
    ServeFile("skh-full/more.bin", std::string((8 << 20) + 1, 'f'));
    const std::string root = ServerUrl() + "/skh-full/";
    EXPECT_TRUE(HttpDownloadFile((root + "eight.bin").c_str(), (dir + "e").c_str(), 8 << 20));
    EXPECT_TRUE(TakeStatusLog().empty());
    gState.progressPercent.store(42);
    EXPECT_TRUE(HttpDownloadFile((root + "more.bin").c_str(), (dir + "m").c_str(), (8 << 20) + 1));
    std::vector<StatusRecord> log = TakeStatusLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.front().text, "Mengunduh data game...  0 / 8 MB");
    EXPECT_EQ(log.back().text, "Mengunduh data game...  8 / 8 MB");
    for (const StatusRecord& line : log) {
        EXPECT_EQ(line.percent, -1);
    }
    EXPECT_EQ(gState.progressPercent.load(), 42);

    // The status line keeps 299 characters; a negative percent leaves the bar alone.
    SetStatus(std::string(400, 's').c_str(), 17);
    SetStatus(std::string(400, 't').c_str(), -1);
    char copy[kStatusTextSize];
    ReadStatusText(copy);
    EXPECT_EQ(std::string(copy), std::string(299, 't'));
    EXPECT_EQ(gState.progressPercent.load(), 17);
}

TEST_F(HttpTest, AFullDiskFailsTheDownloadAndSaysSo) {
    const char* smallDisk = getenv("SKH_TEST_SMALL_DISK");
    ASSERT_NE(smallDisk, nullptr) << "the harness mounts a 1 MiB file system as root";
    const std::string full = FromUnix(smallDisk) + "\\huge.bin";
    ServeFile("skh-full/huge.bin", std::string(3 << 20, 'h'));
    EXPECT_FALSE(
        HttpDownloadFile((ServerUrl() + "/skh-full/huge.bin").c_str(), full.c_str(), 3 << 20));
    EXPECT_NE(ReadFileBytes(dir + "SKH2026_patch.log").find("cannot write"), std::string::npos);
    DeleteFileA(full.c_str());
}

}  // namespace
