// The WinINet transfer contract against the local HTTPS server: one table of server faults
// for both operations, every request's identity, a cut large file, then bounds, a held file
// and a full disk, and progress lines.
#include <gtest/gtest.h>

#include <stdlib.h>

#include "base/http_win.h"
#include "base/launcher_state_win.h"
#include "base/run_log_win.h"
#include "base/status_win.h"
#include "support/test_support.h"
#include "test_seams.h"

namespace {

constexpr char kBody[] = "hello world";  // 11 bytes
constexpr char kBodySha1[] = "2aae6c35c94fcfb415dbe95f408b9ce91ee846ed";
constexpr int kOld = -2;         // the destination still holds its old contents
constexpr int kNotFetched = -3;  // WinINet cannot tell this cut from an end
using Pauses = std::vector<int>;
const Pauses kAllRetriesTwice = {1000, 2000, 4000, 1000, 2000, 4000};

// The text fetched, or "-" when there is none.
std::string Fetch(const std::string& url, size_t limit = 1 << 20) {
    FetchedText text = HttpFetchText(url.c_str(), limit);
    return text.text == nullptr ? "-" : std::string(text.text, text.length);
}

class HttpTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = MakeGameDir("http");
        ResetLauncherForRun(dir);
        ASSERT_TRUE(OpenRunLog());
        ServeFile("skh-full/a.bin", kBody);
        TakeRetryPauses();
    }
    std::string Log() { return ReadFileBytes(dir + "SKH2026_patch.log"); }
    std::string dir;
};

TEST_F(HttpTest, EachServerFaultGivesItsResultAndNeverAnErrorPageAsData) {
    const struct {
        const char* fault;  // on /skh-full/a.bin; "dead" for an address nothing listens on
        int fetchLength;    // -1: no text; kNotFetched: not tried
        long long expectedSize;
        const char* digest;
        bool downloaded;
        int fileSize;     // afterwards, or kOld
        const char* log;  // a line the run log must hold
        Pauses pauses;    // before the retries of the fetch, then of the download
    } rows[] = {
        {"", 11, 11, kBodySha1, true, 11, nullptr, {}},
        {"nolength", 11, 11, nullptr, true, 11, nullptr, {}},
        {"empty", 0, 0, nullptr, true, 0, nullptr, {}},
        {"status 404", -1, -1, nullptr, false, kOld, "a.bin: HTTP status 404", {}},
        {"status 201", -1, 11, nullptr, false, kOld, "a.bin: HTTP status 201", {}},
        {"dead", -1, 11, nullptr, false, kOld, "a.bin: no connection (error 12029)", {}},
        // Transient faults: tried three more times after growing pauses, then given up.
        {"status 500", -1, 11, nullptr, false, kOld, "a.bin: retry 3 of 3 in 4000 ms after: GET ",
         kAllRetriesTwice},
        {"reset", -1, 11, nullptr, false, kOld, "a.bin: no ", kAllRetriesTwice},
        // The announced length reveals a cut, also when the caller does not know the size.
        {"cut 5", -1, -1, nullptr, false, kOld, "a.bin: body ended after 5 of 11 bytes",
         kAllRetriesTwice},
        {"cut_nolength 5", kNotFetched, 11, nullptr, false, kOld,
         "holds 5 bytes, the manifest lists 11", Pauses{1000, 2000, 4000}},
        // Once only: the retry succeeds, after the pause the host asks for (the rule is native).
        {"once-reset", 11, 11, kBodySha1, true, 11, "retry 1 of 3 in 1000 ms after: GET ", {1000}},
        {"once-status 503 0", 11, 11, nullptr, true, 11, "HTTP status 503", {0}},
        // A complete answer of the wrong size or bytes will not change: no retry.
        {"", 11, 12, nullptr, false, kOld, "holds 11 bytes, the manifest lists 12", {}},
        {"corrupt 3", kNotFetched, 11, kBodySha1, false, kOld,
         "the manifest lists 2aae6c35c94fcfb415dbe95f408b9ce91ee846ed", Pauses()},
        // A body that runs past the listed size is cut off before it can fill the disk.
        {"nolength", 11, 4, nullptr, false, kOld, "a.bin: body longer than the 4 bytes listed", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.fault) + " expecting " + std::to_string(row.expectedSize));
        ResetLauncherForRun(dir);
        ASSERT_TRUE(OpenRunLog());
        const bool dead = std::string(row.fault) == "dead";
        if (*row.fault != '\0' && !dead)
            SetFault("/skh-full/a.bin", row.fault);
        const std::string url = (dead ? DeadServerUrl() : ServerUrl()) + "/skh-full/a.bin";
        if (row.fetchLength != kNotFetched) {
            EXPECT_EQ(Fetch(url), row.fetchLength < 0 ? "-" : std::string(kBody, row.fetchLength));
        }
        WriteFileBytes(dir + "a.bin", "old");
        EXPECT_EQ(
            HttpDownloadFile(url.c_str(), (dir + "a.bin").c_str(), row.expectedSize, row.digest),
            row.downloaded);
        EXPECT_EQ(ReadFileBytes(dir + "a.bin"),
                  row.fileSize == kOld ? "old" : std::string(kBody).substr(0, row.fileSize));
        EXPECT_FALSE(FileExists(dir + "a.bin.skh2026-part"));
        EXPECT_EQ(TakeRetryPauses(), row.pauses);
        EXPECT_NE(Log().find(row.log != nullptr ? row.log : ""), std::string::npos) << Log();
        // Every request, retries too, names the launcher and refuses cached answers.
        for (const RequestRecord& request : ReadRequests())
            for (const char* header : {"\tUser-Agent: SKH2026-Patcher/1.0", "\tPragma: no-cache"})
                EXPECT_NE(request.line.find(header), std::string::npos) << request.line;
    }
}

TEST_F(HttpTest, ACutLargeFileResumesUnderItsValidatorOrStartsAgainWhole) {
    const long long size = (9 << 20) + 5;
    std::string content(size, 'r');
    for (long long i = 0; i < size; i += 4096)
        content[i] = static_cast<char>(i >> 12);
    ServeFile("skh-full/big.bin", content);
    const std::string url = ServerUrl() + "/skh-full/big.bin";
    const struct {
        const char* fault;  // after a cut at 5,000,000 bytes
        int requests;
        const char* log;
    } rows[] = {
        // The rest only, asked by Range and guarded by If-Range.
        {nullptr, 2, "big.bin: resumed at byte 5000000"},
        // A host that ignores ranges sends the whole file again; one that sends other bytes
        // is refused, and the next try starts from the first byte.
        {"norange", 2, nullptr},
        {"once-badrange", 3,
         "asked for bytes 5000000-9437188/9437189, answered \"bytes 5000001-9437188/9437189\""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.fault != nullptr ? row.fault : "resume");
        ResetLauncherForRun(dir);
        ASSERT_TRUE(OpenRunLog());
        SetFault("/skh-full/big.bin", "once-cut 5000000");
        if (row.fault != nullptr)
            SetFault("/skh-full/big.bin", row.fault);
        WriteFileBytes(dir + "big.bin", "old");
        EXPECT_TRUE(HttpDownloadFile(url.c_str(), (dir + "big.bin").c_str(), size,
                                     HexDigest(CALG_SHA1, content).c_str()));
        EXPECT_TRUE(ReadFileBytes(dir + "big.bin") == content);
        const std::vector<RequestRecord> requests = ReadRequests();
        ASSERT_EQ(static_cast<int>(requests.size()), row.requests);
        EXPECT_NE(requests[1].line.find("\tRange: bytes=5000000-"), std::string::npos);
        EXPECT_NE(requests[1].line.find("\tIf-Range: \""), std::string::npos);
        EXPECT_EQ(requests.back().line.find("Range:") == std::string::npos, row.requests == 3);
        EXPECT_NE(Log().find(row.log != nullptr ? row.log : ""), std::string::npos) << Log();
    }
}

TEST_F(HttpTest, TextsStayInTheirBoundAndADestinationThatRefusesFailsTheDownload) {
    // A text grows past its first 128 KiB whole, up to its bound and not a byte beyond, whether
    // its length is announced or not.
    std::string body(200000, 'a');
    body[10] = '\0';
    ServeFile("skh-share/big.txt", body);
    EXPECT_EQ(Fetch(ServerUrl() + "/skh-share/big.txt", body.size()), body);
    SetFault("/skh-share/big.txt", "nolength");
    EXPECT_EQ(Fetch(ServerUrl() + "/skh-share/big.txt", body.size() - 1), "-");
    EXPECT_EQ(Fetch(ServerUrl() + "/skh-full/a.bin", 10), "-");
    EXPECT_NE(Log().find("a.bin: body longer than the 10 bytes a text may hold"),
              std::string::npos);
    EXPECT_TRUE(TakeRetryPauses().empty());

    // A file another program holds open cannot be replaced: the old bytes stay, the part goes.
    WriteFileBytes(dir + "held.bin", "old");
    HANDLE held =
        CreateFileA((dir + "held.bin").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(HttpDownloadFile((ServerUrl() + "/skh-full/a.bin").c_str(),
                                  (dir + "held.bin").c_str(), 11));
    CloseHandle(held);
    EXPECT_EQ(ReadFileBytes(dir + "held.bin"), "old");
    EXPECT_FALSE(FileExists(dir + "held.bin.skh2026-part"));
    EXPECT_NE(Log().find("cannot put"), std::string::npos);

    // Nor can a file on a full disk be written.
    const char* smallDisk = getenv("SKH_TEST_SMALL_DISK");
    ASSERT_NE(smallDisk, nullptr) << "the harness mounts a 1 MiB file system as root";
    const std::string full = FromUnix(smallDisk) + "\\huge.bin";
    ServeFile("skh-full/huge.bin", std::string(3 << 20, 'h'));
    EXPECT_FALSE(
        HttpDownloadFile((ServerUrl() + "/skh-full/huge.bin").c_str(), full.c_str(), 3 << 20));
    EXPECT_NE(Log().find("cannot write"), std::string::npos);
}

TEST_F(HttpTest, MegabyteLinesOnlyAboveEightMebibytesAndTheBarStays) {
    ServeFile("skh-full/eight.bin", std::string(8 << 20, 'e'));
    ServeFile("skh-full/more.bin", std::string((8 << 20) + 1, 'f'));
    const std::string root = ServerUrl() + "/skh-full/";
    EXPECT_TRUE(HttpDownloadFile((root + "eight.bin").c_str(), (dir + "e").c_str(), 8 << 20));
    EXPECT_TRUE(TakeStatusLog().empty());
    EXPECT_TRUE(HttpDownloadFile((root + "more.bin").c_str(), (dir + "m").c_str(), (8 << 20) + 1));
    std::vector<StatusRecord> log = TakeStatusLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.front().text, "Mengunduh data game...  0 / 8 MB");
    EXPECT_EQ(log.back().text, "Mengunduh data game...  8 / 8 MB");
    for (const StatusRecord& line : log)
        EXPECT_EQ(line.percent, -1);

    // The status line keeps 299 characters; a negative percent leaves the bar alone.
    SetStatus(std::string(400, 's').c_str(), 17);
    SetStatus(std::string(400, 't').c_str(), -1);
    char copy[kStatusTextSize];
    ReadStatusText(copy);
    EXPECT_EQ(std::string(copy), std::string(299, 't'));
    EXPECT_EQ(gState.progressPercent.load(), 17);
}

}  // namespace
