// The manifest stage end to end on real folders: downloads, re-checks, failures, refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "base/launcher_state_win.h"
#include "base/http_win.h"
#include "base/status_win.h"
#include "test_seams.h"
#include "patch/manifest_win.h"
#include "patch/patch_run_win.h"
#include "patch/runtime_win.h"
#include "patch/self_update_win.h"
#include "support/test_support.h"

namespace {

struct ClientFile {
    std::string path;  // as in the manifest, with slashes
    std::string content;
    std::string digestField;
};

std::string ManifestFor(const std::vector<ClientFile>& files) {
    std::string text;
    for (const ClientFile& file : files) {
        text +=
            file.path + "|" + std::to_string(file.content.size()) + "|" + file.digestField + "\n";
    }
    return text;
}

std::string Backslashed(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::vector<std::string> GameFileRequests() {
    std::vector<std::string> out;
    for (const RequestRecord& request : ReadRequests()) {
        if (request.path.rfind("/skh-full/", 0) == 0 && request.path != "/skh-full/version.txt" &&
            request.path != "/skh-full/manifest.txt") {
            out.push_back(request.path);
        }
    }
    return out;
}

class ManifestTest : public ::testing::Test {
protected:
    void SetUp() override {
        gameDir = MakeGameDir("manifest");
        ResetLauncherForRun(gameDir);
    }
    void Publish(const std::vector<ClientFile>& files, const std::string& version) {
        for (const ClientFile& file : files)
            ServeFile("skh-full/" + file.path, file.content);
        ServeFile("skh-full/manifest.txt", ManifestFor(files));
        ServeFile("skh-full/version.txt", version + "\n");
    }
    PatchRunResult Run() {
        ResetLauncherForRun(gameDir);
        return RunPatchThread();
    }
    std::string gameDir;
};

std::vector<ClientFile> SampleClient() {
    std::vector<ClientFile> files;
    for (int i = 0; i < 240; ++i) {
        std::string folder = "data/set" + std::to_string(i % 6) + "/sub " + std::to_string(i % 4);
        std::string content = "content of file " + std::to_string(i) + std::string(i * 7, 'x');
        files.push_back({folder + "/file " + std::to_string(i) + ".dat", content, ""});
    }
    files.push_back({"caf\xE9/r\xE9sum\xE9 #1.txt", "windows-1252 name", ""});
    files.push_back({"100% & more/[x] y+z.txt", "reserved characters", ""});
    files.push_back({"big/archive.pak", std::string(9 * 1024 * 1024 + 5, 'g'), ""});
    files.push_back({"marked/huge.bin", "checked by size only", "big"});
    files.push_back({"nodigest.txt", "no digest at all", "@"});
    files.push_back({"SKH2026.exe", "MZ game client", ""});
    for (ClientFile& file : files) {
        if (file.digestField.empty())
            file.digestField = Sha1Hex(file.content);
    }
    files[files.size() - 2].digestField = "";
    return files;
}

TEST_F(ManifestTest, EmptyFolderToCompleteThenNothingToDo) {
    std::vector<ClientFile> files = SampleClient();
    Publish(files, "v1");
    PatchRunResult first = Run();
    EXPECT_EQ(first.finalStatus,
              "Update selesai (" + std::to_string(files.size()) + " file). Siap dimainkan!");
    EXPECT_EQ(ReadFileBytes(gameDir + "SKH2026_patch.state"), "v1");
    for (const ClientFile& file : files) {
        ASSERT_EQ(ReadFileBytes(gameDir + Backslashed(file.path)), file.content) << file.path;
    }
    std::vector<std::string> expectedOnDisk;
    for (const ClientFile& file : files)
        expectedOnDisk.push_back(Backslashed(file.path));
    expectedOnDisk.push_back("SKH2026_patch.state");
    std::sort(expectedOnDisk.begin(), expectedOnDisk.end());
    EXPECT_EQ(ListFilesRecursive(gameDir), expectedOnDisk);

    // Exactly one request per file, each at its percent-encoded path.
    std::vector<std::string> requests = GameFileRequests();
    EXPECT_EQ(requests.size(), files.size());
    std::set<std::string> requested(requests.begin(), requests.end());
    EXPECT_TRUE(requested.count("/skh-full/data/set0/sub%200/file%200.dat"));
    EXPECT_TRUE(requested.count("/skh-full/caf%E9/r%E9sum%E9%20%231.txt"));
    EXPECT_TRUE(requested.count("/skh-full/100%25%20%26%20more/%5Bx%5D%20y%2Bz.txt"));

    // The large file reported its megabytes as it arrived.
    std::vector<StatusRecord> steps = TakeStatusLog();
    bool sawMegabytes = false;
    for (const StatusRecord& step : steps) {
        sawMegabytes |= step.text == "Mengunduh data game...  9 / 9 MB" && step.percent == -1;
    }
    EXPECT_TRUE(sawMegabytes);

    ClearRequests();
    PatchRunResult second = Run();
    EXPECT_EQ(second.finalStatus, "File lengkap & terbaru. Siap dimainkan!");
    EXPECT_EQ(second.finishedMessages, 1);
    EXPECT_TRUE(GameFileRequests().empty());
}

TEST_F(ManifestTest, NewVersionRefetchesExactlyTheCorruptedFile) {
    std::vector<ClientFile> files;
    for (int i = 0; i < 12; ++i) {
        std::string content(1000 + i, static_cast<char>('a' + i));
        files.push_back({"f" + std::to_string(i) + ".bin", content, Sha1Hex(content)});
    }
    files.push_back({"big.bin", "big file", "big"});
    Publish(files, "v1");
    ASSERT_EQ(Run().finalStatus, "Update selesai (13 file). Siap dimainkan!");

    std::string corrupted = files[5].content;
    corrupted[500] = '!';
    WriteFileBytes(gameDir + "f5.bin", corrupted);
    WriteFileBytes(gameDir + "big.bin", "BIG FILE");  // same size, never read
    ClearRequests();
    // Without a version change only presence and size count: the damage goes unseen.
    EXPECT_EQ(Run().finalStatus, "File lengkap & terbaru. Siap dimainkan!");
    EXPECT_TRUE(GameFileRequests().empty());

    ServeFile("skh-full/version.txt", "v2\n");
    PatchRunResult result = Run();
    EXPECT_EQ(result.finalStatus, "Update selesai (1 file). Siap dimainkan!");
    EXPECT_EQ(GameFileRequests(), (std::vector<std::string>{"/skh-full/f5.bin"}));
    EXPECT_EQ(ReadFileBytes(gameDir + "f5.bin"), files[5].content);
    EXPECT_EQ(ReadFileBytes(gameDir + "big.bin"), "BIG FILE");
    EXPECT_EQ(ReadFileBytes(gameDir + "SKH2026_patch.state"), "v2");
}

TEST_F(ManifestTest, DigestsAreCheckedUpToFiftyMebibytesInclusive) {
    const size_t limit = 52428800;
    std::string atLimit(limit, 'L');
    std::string aboveLimit(limit + 1, 'A');
    std::vector<ClientFile> files = {
        {"at-limit.bin", atLimit, Sha1Hex(atLimit)},
        {"above-limit.bin", aboveLimit, Sha1Hex(aboveLimit)},
    };
    // The published digests describe other contents of the same sizes.
    atLimit[0] = 'x';
    aboveLimit[0] = 'x';
    WriteFileBytes(gameDir + "at-limit.bin", atLimit);
    WriteFileBytes(gameDir + "above-limit.bin", aboveLimit);
    ServeFile("skh-full/manifest.txt", ManifestFor(files));
    ServeFile("skh-full/version.txt", "v9\n");
    ServeFile("skh-full/at-limit.bin", files[0].content);
    PatchRunResult result = Run();
    EXPECT_EQ(result.finalStatus, "Update selesai (1 file). Siap dimainkan!");
    EXPECT_EQ(GameFileRequests(), (std::vector<std::string>{"/skh-full/at-limit.bin"}));
    EXPECT_EQ(ReadFileBytes(gameDir + "at-limit.bin")[0], 'L');
    EXPECT_EQ(ReadFileBytes(gameDir + "above-limit.bin")[0], 'x');
}

TEST_F(ManifestTest, EachBrokenDownloadCountsOnceWhileTheOthersGoOn) {
    std::string payload(200000, 'p');
    std::vector<ClientFile> files = {
        {"ok1.bin", "first", "big"},  {"missing.bin", "never served", "big"},
        {"cut.bin", payload, "big"},  {"wrongsize.bin", "short", "big"},
        {"ok2.bin", "second", "big"},
    };
    Publish(files, "v1");
    RemoveServedFile("skh-full/missing.bin");
    ServeFile("skh-full/wrongsize.bin", "shorter");  // 7 bytes where 5 are listed
    ResetLauncherForRun(gameDir);
    SetFault("/skh-full/cut.bin", "cut 70000");
    PatchRunResult result = RunPatchThread();
    EXPECT_EQ(result.finalStatus, "Selesai, tapi 3 file gagal. Klik MAIN/ulang.");
    EXPECT_EQ(ReadFileBytes(gameDir + "ok1.bin"), "first");
    EXPECT_EQ(ReadFileBytes(gameDir + "ok2.bin"), "second");
    EXPECT_FALSE(FileExists(gameDir + "missing.bin"));
    EXPECT_FALSE(FileExists(gameDir + "SKH2026_patch.state"));
    EXPECT_EQ(ReadFileBytes(gameDir + "cut.bin").size(), 70000u);
    EXPECT_EQ(GameFileRequests().size(), 5u);
}

TEST_F(ManifestTest, AnEntryNamingAnExistingDirectoryFailsEveryRun) {
    CreateDirectoryA((gameDir + "folder").c_str(), nullptr);
    ServeFile("skh-full/folder", "file where a folder stands");
    ServeFile("skh-full/manifest.txt", "folder|26|big\n|0|big\n");
    ServeFile("skh-full/version.txt", "v1");
    EXPECT_EQ(Run().finalStatus, "Selesai, tapi 2 file gagal. Klik MAIN/ulang.");
    EXPECT_TRUE(DirectoryExists(gameDir + "folder"));
    EXPECT_EQ(Run().finalStatus, "Selesai, tapi 2 file gagal. Klik MAIN/ulang.");
}

TEST_F(ManifestTest, RefusedPathsTouchNothingOutsideTheGameFolderAndCountAsFailed) {
    // The whole drive takes a minute to list under Wine; the places these paths could reach
    // are the drive's root, the folders around the game folder and the working directory.
    auto snapshot = [] {
        std::vector<std::string> files = ListFilesRecursive("C:\\skh-tests");
        WIN32_FIND_DATAA data;
        for (const char* pattern : {"C:\\*", ".\\*"}) {
            HANDLE find = FindFirstFileA(pattern, &data);
            if (find == INVALID_HANDLE_VALUE)
                continue;
            do {
                files.push_back(std::string(pattern) + data.cFileName);
            } while (FindNextFileA(find, &data));
            FindClose(find);
        }
        std::sort(files.begin(), files.end());
        return files;
    };
    std::vector<std::string> before = snapshot();
    std::string longName(300, 'n');
    std::string manifest =
        "../escape.txt|4|big\n"
        "sub/../../escape2.txt|4|big\n"
        "/abs-escape.txt|4|big\n"
        "\\abs-escape2.txt|4|big\n"
        "C:\\drive-escape.txt|4|big\n"
        "C:drive-relative.txt|4|big\n"
        "good.txt:stream|4|big\n"
        "CON|4|big\n" +
        longName + "|4|big\n" + std::string(700, ' ') + "x|4|big\n" + "good.txt|4|big\n";
    ServeFile("skh-full/good.txt", "good");
    ServeFile("skh-full/manifest.txt", manifest);
    ServeFile("skh-full/version.txt", "v1");
    PatchRunResult result = Run();
    EXPECT_EQ(result.finalStatus, "Selesai, tapi 10 file gagal. Klik MAIN/ulang.");
    EXPECT_EQ(GameFileRequests(), (std::vector<std::string>{"/skh-full/good.txt"}));
    EXPECT_FALSE(FileExists(gameDir + "SKH2026_patch.state"));

    std::vector<std::string> after = snapshot();
    std::vector<std::string> added;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                        std::back_inserter(added));
    // Only the one good file appeared anywhere on the drive.
    EXPECT_EQ(added, (std::vector<std::string>{"manifest\\good.txt"}));
    EXPECT_FALSE(FileExists("C:\\skh-tests\\escape.txt"));
    EXPECT_FALSE(FileExists("Z:\\abs-escape.txt"));
}

TEST_F(ManifestTest, CheckLineEveryEighthEntryWithItsPercentage) {
    std::string manifest;
    for (int i = 1; i <= 16; ++i) {
        std::string name = "e" + std::to_string(i) + ".txt";
        WriteFileBytes(gameDir + name, "x");
        manifest += name + "|1|big\n";
        if (i % 4 == 0)
            manifest += "# section\n";
    }
    ServeFile("skh-full/manifest.txt", manifest);
    ServeFile("skh-full/version.txt", "v1");
    Run();
    std::vector<StatusRecord> checks;
    for (const StatusRecord& step : TakeStatusLog()) {
        if (step.text.rfind("Memeriksa", 0) == 0)
            checks.push_back(step);
    }
    ASSERT_EQ(checks.size(), 2u);
    EXPECT_EQ(checks[0].text, "Memeriksa file... (8/20)");
    EXPECT_EQ(checks[0].percent, 41);
    EXPECT_EQ(checks[1].text, "Memeriksa file... (16/20)");
    EXPECT_EQ(checks[1].percent, 77);
}

TEST(HashFileSha1Test, KnownAnswersAndUnreadableFiles) {
    std::string dir = MakeGameDir("hash");
    WriteFileBytes(dir + "abc", "abc");
    WriteFileBytes(dir + "empty", "");
    WriteFileBytes(dir + "chunks", std::string(65536 * 3 + 17, 'q'));
    char digest[41];
    ASSERT_TRUE(HashFileSha1((dir + "abc").c_str(), digest));
    EXPECT_STREQ(digest, "a9993e364706816aba3e25717850c26c9cd0d89d");
    ASSERT_TRUE(HashFileSha1((dir + "empty").c_str(), digest));
    EXPECT_STREQ(digest, "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    ASSERT_TRUE(HashFileSha1((dir + "chunks").c_str(), digest));
    EXPECT_EQ(std::string(digest), Sha1Hex(std::string(65536 * 3 + 17, 'q')));
    EXPECT_FALSE(HashFileSha1((dir + "absent").c_str(), digest));
}

}  // namespace
