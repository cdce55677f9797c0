// The patch run's three ends, the version and state-file rules, against the local server.
#include <gtest/gtest.h>

#include "base/launcher_state_win.h"
#include "base/http_win.h"
#include "base/status_win.h"
#include "test_seams.h"
#include "support/test_support.h"

namespace {

class PatchRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        gameDir = MakeGameDir("patch-run");
        ResetLauncherForRun(gameDir);
    }
    std::string StatePath() const { return gameDir + "SKH2026_patch.state"; }
    std::vector<StatusRecord> Steps() { return TakeStatusLog(); }
    void ExpectFinishedOnce(const PatchRunResult& result) {
        EXPECT_EQ(result.finishedMessages, 1);
        EXPECT_TRUE(result.flagSetWhenPosted);
        EXPECT_EQ(gState.patchFinished.load(), 1);
        EXPECT_EQ(result.finalPercent, 100);
    }
    std::string gameDir;
};

std::vector<std::string> Texts(const std::vector<StatusRecord>& steps) {
    std::vector<std::string> out;
    for (const StatusRecord& step : steps)
        out.push_back(step.text);
    return out;
}

TEST_F(PatchRunTest, OfflineEndWhenTheVersionFileIsMissingEmptyOrUnreachable) {
    for (const char* fault : {"status 404", "status 500", "empty", "reset"}) {
        ResetLauncherForRun(gameDir);
        WriteFileBytes(StatePath(), "old");
        ServeFile("skh-full/manifest.txt", "a.txt|1|big\n");
        SetFault("/skh-full/version.txt", fault);
        PatchRunResult result = RunPatchThread();
        ExpectFinishedOnce(result);
        EXPECT_EQ(result.finalStatus, "Server offline. Cek koneksi internet.") << fault;
        EXPECT_EQ(CountRequests("/skh-full/manifest.txt"), 0) << fault;
        EXPECT_EQ(ReadFileBytes(StatePath()), "old") << fault;
        EXPECT_EQ(Texts(Steps()),
                  (std::vector<std::string>{"Mengecek versi server...",
                                            "Server offline. Cek koneksi internet."}));
    }
    ResetLauncherForRun(gameDir, DeadServerUrl());
    PatchRunResult result = RunPatchThread();
    ExpectFinishedOnce(result);
    EXPECT_EQ(result.finalStatus, "Server offline. Cek koneksi internet.");
}

TEST_F(PatchRunTest, ManifestEndWhenTheManifestIsMissingOrEmpty) {
    ServeFile("skh-full/version.txt", "v2\n");
    for (const char* fault : {"status 404", "empty", "cut 3"}) {
        ResetLauncherForRun(gameDir);
        ServeFile("skh-full/manifest.txt", "a.txt|1|big\n");
        SetFault("/skh-full/manifest.txt", fault);
        PatchRunResult result = RunPatchThread();
        ExpectFinishedOnce(result);
        EXPECT_EQ(result.finalStatus, "Gagal ambil daftar file.") << fault;
        EXPECT_FALSE(FileExists(StatePath())) << fault;
        EXPECT_FALSE(FileExists(gameDir + "a.txt")) << fault;
        std::vector<StatusRecord> steps = Steps();
        ASSERT_EQ(steps.size(), 3u);
        EXPECT_EQ(steps[0].percent, 3);
        EXPECT_EQ(steps[1].text, "Mengecek file game...");
        EXPECT_EQ(steps[1].percent, 5);
        EXPECT_EQ(steps[2].percent, 100);
    }
}

TEST_F(PatchRunTest, CleanRunRecordsTheVersionLineByteForByte) {
    ServeFile("skh-full/version.txt", "2026.12 build 7\r\nignored second line");
    ServeFile("skh-full/manifest.txt", "# only a comment\n\nno bars here\n");
    PatchRunResult result = RunPatchThread();
    ExpectFinishedOnce(result);
    EXPECT_EQ(result.finalStatus, "File lengkap & terbaru. Siap dimainkan!");
    EXPECT_EQ(ReadFileBytes(StatePath()), "2026.12 build 7");
    std::vector<std::string> fullTree;
    for (const RequestRecord& request : ReadRequests()) {
        if (request.path.rfind("/skh-full/", 0) == 0)
            fullTree.push_back(request.path);
    }
    EXPECT_EQ(fullTree,
              (std::vector<std::string>{"/skh-full/version.txt", "/skh-full/manifest.txt"}));
}

// Whether a run counts as a version change shows in whether a same-size file with a wrong
// digest is fetched again.
class VersionRuleTest : public PatchRunTest {
protected:
    bool RunSeesVersionChange(const std::string& versionBody, const std::string* stateFile) {
        ResetLauncherForRun(gameDir);
        if (stateFile != nullptr) {
            WriteFileBytes(StatePath(), *stateFile);
        } else {
            DeleteFileA(StatePath().c_str());
        }
        WriteFileBytes(gameDir + "game.dat", "XXXX");
        ServeFile("skh-full/game.dat", "good");
        ServeFile("skh-full/manifest.txt", "game.dat|4|" + Sha1Hex("good") + "\n");
        ServeFile("skh-full/version.txt", versionBody);
        PatchRunResult result = RunPatchThread();
        EXPECT_EQ(result.finishedMessages, 1);
        return CountRequests("/skh-full/game.dat") == 1;
    }
};

TEST_F(VersionRuleTest, LineEndsAreCutOnBothSides) {
    std::string seven = "7";
    std::string sevenLf = "7\n";
    std::string sevenCrLf = "7\r\n";
    EXPECT_FALSE(RunSeesVersionChange("7\r\n", &seven));
    EXPECT_FALSE(RunSeesVersionChange("7\r\n", &sevenLf));
    EXPECT_FALSE(RunSeesVersionChange("7", &sevenCrLf));
    EXPECT_TRUE(RunSeesVersionChange("8", &seven));
    EXPECT_TRUE(RunSeesVersionChange("7 ", &seven));  // no trimming
    EXPECT_TRUE(RunSeesVersionChange("6", &seven));   // any difference counts
}

TEST_F(VersionRuleTest, ALineOfMoreThan127BytesAlwaysCountsAsChanged) {
    std::string longLine(128, 'v');
    std::string stored = longLine;
    EXPECT_TRUE(RunSeesVersionChange(longLine, &stored));
    EXPECT_EQ(ReadFileBytes(StatePath()), longLine);  // written whole, read back cut
    EXPECT_TRUE(RunSeesVersionChange(longLine, &stored));
    std::string exact(127, 'v');
    EXPECT_FALSE(RunSeesVersionChange(exact, &exact));
}

TEST_F(VersionRuleTest, ALoneLineFeedIsAnEmptyVersionNotOffline) {
    EXPECT_FALSE(RunSeesVersionChange("\n", nullptr));
    char status[kStatusTextSize];
    ReadStatusText(status);
    EXPECT_STREQ(status, "File lengkap & terbaru. Siap dimainkan!");
    EXPECT_TRUE(FileExists(StatePath()));
    EXPECT_EQ(ReadFileBytes(StatePath()), "");
}

TEST_F(PatchRunTest, FailedFilesKeepTheOldStateAndWinTheFinalMessage) {
    WriteFileBytes(StatePath(), "v1");
    ServeFile("skh-full/version.txt", "v2");
    ServeFile("skh-full/a.txt", "aaa");
    ServeFile("skh-full/b.txt", "bbb");
    ServeFile("skh-full/manifest.txt", "a.txt|3|big\nmissing.txt|5|big\nb.txt|3|big\n");
    PatchRunResult result = RunPatchThread();
    ExpectFinishedOnce(result);
    EXPECT_EQ(result.finalStatus, "Selesai, tapi 1 file gagal. Klik MAIN/ulang.");
    EXPECT_EQ(ReadFileBytes(StatePath()), "v1");
    EXPECT_EQ(ReadFileBytes(gameDir + "a.txt"), "aaa");
    EXPECT_EQ(ReadFileBytes(gameDir + "b.txt"), "bbb");
    // The 404 page was never stored as a game file.
    EXPECT_FALSE(FileExists(gameDir + "missing.txt"));

    ResetLauncherForRun(gameDir);
    RemoveServedFile("skh-full/manifest.txt");
    ServeFile("skh-full/manifest.txt", "a.txt|3|big\nb.txt|3|big\n");
    result = RunPatchThread();
    EXPECT_EQ(result.finalStatus, "File lengkap & terbaru. Siap dimainkan!");
    EXPECT_EQ(ReadFileBytes(StatePath()), "v2");
}

}  // namespace
