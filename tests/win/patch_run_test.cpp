// The two workers against the local server and real folders: PatchThreadProc as one table of
// scenarios, each held to the run's contract (one WM_PATCH_FINISHED posted after the flag,
// 100 %, nothing written outside the game folder) and to its own outcome; then NewsThreadProc.
#include <gtest/gtest.h>

#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>

#include "base/launcher_state_win.h"
#include "patch/chunker.h"
#include "support/import_hook.h"
#include "support/test_support.h"
#include "tests/pe_image.h"

namespace {

const char kUpToDate[] = "File lengkap & terbaru. Siap dimainkan!";
const char kOffline[] = "Server offline. Cek koneksi internet.";
const char kNoManifest[] = "Gagal ambil daftar file.";
const char kInstalling[] = "Memasang Visual C++ Redist...";
const char kRuntimeKey[] = "SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x86";
const std::string kOne("\1\0\0\0", 4);  // 1 as a DWORD

// Contents with known SHA-1 digests, so that no digest here comes from the code under test.
const char kAbc[] = "abc";
const char kAbcSha1[] = "a9993e364706816aba3e25717850c26c9cd0d89d";
const char kDog[] = "The quick brown fox jumps over the lazy dog";
const char kDogSha1[] = "2fd4e1c67a2d28fced849ee1bb76e7391b93eb12";
const char kCog[] = "The quick brown fox jumps over the lazy cog";  // kDog's size

// An update taken by mistake must not end this process with code 0 and pass unseen.
void WINAPI RefusedExitProcess(UINT code) {
    fprintf(stderr, "ExitProcess(%u): a launcher update was taken\n", code);
    abort();
}
const bool gExitGuarded = RedirectImport("KERNEL32.dll", "ExitProcess",
                                         reinterpret_cast<void*>(RefusedExitProcess)) != nullptr;

std::string Failed(int count) {
    return "Selesai, tapi " + std::to_string(count) + " file gagal. Klik MAIN/ulang.";
}

std::string Updated(int count) {
    return "Update selesai (" + std::to_string(count) + " file). Siap dimainkan!";
}

struct ServedFile {
    std::string path, content, digest;
};

// Serves the files and a manifest listing them after the given lines.
void Publish(const std::vector<ServedFile>& files, const std::string& extraLines = "") {
    std::string manifest = extraLines;
    for (const ServedFile& file : files) {
        ServeFile("skh-full/" + file.path, file.content);
        manifest +=
            file.path + "|" + std::to_string(file.content.size()) + "|" + file.digest + "\n";
    }
    ServeFile("skh-full/manifest.txt", manifest);
}

void SetRuntimeMark(DWORD type, const std::string& data, REGSAM view) {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRuntimeKey, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr,
                    &key, nullptr);
    RegSetValueExA(key, "Installed", 0, type, reinterpret_cast<const BYTE*>(data.data()),
                   static_cast<DWORD>(data.size()));
    RegCloseKey(key);
}

// A 3 MiB archive and its next version, of the same size, with 1 MiB rewritten in the middle.
std::string ArchiveBytes(size_t size, uint32_t seed) {
    std::string out(size, '\0');
    for (char& c : out) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    return out;
}
// Larger than the sync's ring of blocks, so that its copies fill it.
const std::string kArchiveV1 = ArchiveBytes(12 << 20, 1);
const std::string kArchiveV2 =
    std::string(kArchiveV1).replace(1 << 20, 1 << 20, ArchiveBytes(1 << 20, 2));
const char kArchivePath[] = "/skh-full/archive.pak";
// 4 GiB of zeros: a sparse file on disk, 16,384 chunks of the largest size.
const int64_t kHugeZeros = 1LL << 32;

// Serves zeros zero bytes, then content, as a big entry with its chunk index; one that lies
// about the whole file's digest when wrongDigest.
void PublishArchive(const std::string& content, bool wrongDigest = false,
                    const std::string& name = "archive.pak", int64_t zeros = 0) {
    const std::string index = ChunkIndexFor(content, wrongDigest, zeros);
    ServeFile("skh-full/" + name, content, zeros);
    ServeFile("skh-full/#chunks/" + name + ".idx", index);
    ServeFile("skh-full/manifest.txt", "#@chunks " + HexDigest(CALG_SHA_256, index) + " #chunks/" +
                                           name + ".idx\n" + name + "|" +
                                           std::to_string(zeros + content.size()) + "|big\n");
}

std::vector<std::pair<long long, long long>> Ranges(const std::string& path = kArchivePath) {
    std::vector<std::pair<long long, long long>> out;
    for (const RequestRecord& record : ReadRequests()) {
        const size_t at = record.line.find("Range: bytes=");
        long long first = 0, last = 0;
        if (record.path == path && at != std::string::npos &&
            sscanf(record.line.c_str() + at, "Range: bytes=%lld-%lld", &first, &last) == 2)
            out.push_back({first, last});
    }
    return out;
}

struct Game {
    std::string dir;
    std::string Read(const std::string& name) const { return ReadFileBytes(dir + name); }
    void Write(const std::string& name, const std::string& content) const {
        WriteFileBytes(dir + name, content);
    }
    bool Has(const std::string& name) const { return FileExists(dir + name); }
    bool Logged(const std::string& text) const {
        return Read("SKH2026_patch.log").find(text) != std::string::npos;
    }
    // An archive of v1 where a v2 is published, after a version change.
    void PlaceArchive() const {
        Write("archive.pak", kArchiveV1);
        Write("SKH2026_patch.state", "v0");
        PublishArchive(kArchiveV2);
    }
    // The installer runs as a copy that is deleted after it, so it records its start here.
    void PlaceInstaller() const {
        CreateDirectoryA((dir + "_Runtime").c_str(), nullptr);
        CopyFileA(StandInPath().c_str(), (dir + "_Runtime\\vc_redist.x86.exe").c_str(), FALSE);
        SetEnvironmentVariableA("SKH_TEST_START_RECORD", (dir + "installer.started").c_str());
    }
    // Written half a second after the installer starts: found as the run ends, it shows
    // that the run waited for it.
    bool InstallerRan() const { return !Read("installer.started").empty(); }
};

using Check = std::function<void(const Game&, const PatchRunResult&)>;
struct Scenario {
    std::string name;
    std::function<void(const Game&)> arrange;
    std::string finalStatus;
    Check check;
};

// This executable's other folders, the drive's root and the working folder.
std::set<std::string> Surroundings(const std::string& gameDir) {
    std::set<std::string> out;
    for (const std::string& file : ListFilesRecursive(TestRoot()))
        if ((TestRoot() + file).rfind(gameDir, 0) != 0)
            out.insert(file);
    std::error_code error;
    for (const char* folder : {"C:\\", "."})
        for (const auto& entry : std::filesystem::directory_iterator(folder, error))
            out.insert(entry.path().string());
    return out;
}

PatchRunResult RunIn(const Game& game) {
    ResetLauncherForRun(game.dir);
    return RunPatchThread();
}

void RunScenario(const Scenario& scenario) {
    SCOPED_TRACE(scenario.name);
    ASSERT_TRUE(gExitGuarded);
    Game game{MakeGameDir("run")};
    ResetLauncherForRun(game.dir);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kRuntimeKey, KEY_WOW64_32KEY, 0);
    RemoveServedFile("skh-share/patcher_version.txt");
    ServeFile("skh-full/version.txt", "v1\n");
    ServeFile("skh-full/manifest.txt", "# nothing to check\n");
    scenario.arrange(game);
    const std::set<std::string> before = Surroundings(game.dir);
    PatchRunResult result = RunPatchThread();
    EXPECT_EQ(result.finalStatus, scenario.finalStatus);
    EXPECT_EQ(result.finishedMessages, 1);
    EXPECT_TRUE(result.flagSetWhenPosted);
    EXPECT_EQ(result.finalPercent, 100);
    EXPECT_EQ(Surroundings(game.dir), before);
    if (scenario.check)
        scenario.check(game, result);
}

bool Shown(const PatchRunResult& result, const std::string& text) {
    return std::any_of(result.steps.begin(), result.steps.end(),
                       [&](const StatusRecord& step) { return step.text == text; });
}

std::vector<std::string> GameFileRequests() {
    std::vector<std::string> out;
    for (const RequestRecord& record : ReadRequests())
        if (record.path.rfind("/skh-full/", 0) == 0 && record.path != "/skh-full/version.txt" &&
            record.path != "/skh-full/manifest.txt")
            out.push_back(record.path);
    return out;
}

// An offered update given up: its one line at 4 %, then the run's own at 3 %, one download
// of the launcher at most, and nothing of the update left in the game folder.
void GivenUp(const Game& game, const PatchRunResult& result) {
    EXPECT_EQ(result.steps.at(0).text, "Memperbarui launcher...");
    EXPECT_EQ(result.steps.at(0).percent, 4);
    EXPECT_EQ(result.steps.at(1).percent, 3);
    EXPECT_LE(CountRequests("/skh-share/SKH2026_Patcher.exe"), 1);
    for (const char* file :
         {"SKH2026_Patcher.new.exe", "_skh_update.bat", "SKH2026_patch.handover"})
        EXPECT_FALSE(game.Has(file)) << file;
}

// The runtime step: run and waited for, before the final message, or not run at all.
Check Runtime(bool runs) {
    return [runs](const Game& game, const PatchRunResult& result) {
        EXPECT_EQ(game.InstallerRan(), runs);
        EXPECT_EQ(result.steps.at(result.steps.size() - 2).text == kInstalling, runs);
    };
}

Scenario RuntimeMarked(const char* name, DWORD type, const std::string& data, REGSAM view,
                       bool runs) {
    return {name,
            [=](const Game& game) {
                game.PlaceInstaller();
                SetRuntimeMark(type, data, view);
            },
            kUpToDate, Runtime(runs)};
}

// The archive of v1 in the folder becomes v2, or stays v1, when its transfer meets the fault
// (an index that lies about the whole file's digest for "lying index").
Scenario ArchiveFault(const char* name, const std::string& fault, bool taken, const char* logged,
                      Check more = nullptr) {
    return {name,
            [=](const Game& game) {
                game.PlaceArchive();
                if (fault == "lying index")
                    PublishArchive(kArchiveV2, true);
                else
                    SetFault(kArchivePath, fault);
            },
            taken ? Updated(1) : Failed(1),
            [=](const Game& game, const PatchRunResult& result) {
                EXPECT_EQ(game.Read("archive.pak"), taken ? kArchiveV2 : kArchiveV1);
                EXPECT_TRUE(game.Logged(logged)) << game.Read("SKH2026_patch.log");
                if (more)
                    more(game, result);
            }};
}

// Whether a run counts as a version change shows in whether a same-size file with a wrong
// digest is fetched again; a clean run records the server's first line. No state file for "".
Scenario VersionLines(const std::string& server, const std::string& state, bool changed) {
    return {"version line " + server.substr(0, 10),
            [=](const Game& game) {
                if (!state.empty())
                    game.Write("SKH2026_patch.state", state);
                game.Write("game.dat", kCog);
                Publish({{"game.dat", kDog, kDogSha1}});
                ServeFile("skh-full/version.txt", server);
            },
            changed ? Updated(1) : kUpToDate,
            [=](const Game& game, const PatchRunResult&) {
                EXPECT_EQ(game.Read("SKH2026_patch.state"),
                          server.substr(0, server.find_first_of("\r\n")));
            }};
}

TEST(PatchRunTest, ScenariosEndWithTheirMessageAndTouchNothingOutside) {
    const std::string v127(127, 'v'), v128(128, 'v');
    const Scenario scenarios[] = {
        {"no version file: offline, nothing else asked",
         [](const Game& game) {
             game.Write("SKH2026_patch.state", "old");
             RemoveServedFile("skh-full/version.txt");
             game.PlaceInstaller();
         },
         kOffline,
         [](const Game& game, const PatchRunResult& result) {
             EXPECT_TRUE(result.steps.size() == 2 && Shown(result, "Mengecek versi server..."));
             EXPECT_EQ(ReadRequests().back().path, "/skh-full/version.txt");
             EXPECT_EQ(game.Read("SKH2026_patch.state"), "old");
             EXPECT_FALSE(game.InstallerRan());
         }},
        {"an empty version file is offline too",
         [](const Game&) { SetFault("/skh-full/version.txt", "empty"); }, kOffline, nullptr},
        // Version lines are compared byte for byte up to their first line end.
        VersionLines("7\r\n", "7\n", false),
        VersionLines("7 ", "7", true),
        VersionLines(v127, v127, false),
        // Only 127 bytes of the state file are read: a longer line always counts as new.
        VersionLines(v128, v128, true),
        // A lone line feed is an empty version, not an offline server.
        VersionLines("\n", "", false),
        {"no manifest, an empty one or one above its bound: its own end, no runtime step",
         [](const Game& game) {
             SetFault("/skh-full/manifest.txt", "empty");
             game.PlaceInstaller();
         },
         kNoManifest,
         [](const Game& game, const PatchRunResult&) {
             EXPECT_FALSE(game.Has("SKH2026_patch.state"));
             EXPECT_FALSE(game.InstallerRan());
             RemoveServedFile("skh-full/manifest.txt");
             EXPECT_EQ(RunIn(game).finalStatus, kNoManifest);
             ServeFile("skh-full/manifest.txt", std::string((64 << 20) + 1, '#'));
             EXPECT_EQ(RunIn(game).finalStatus, kNoManifest);
             EXPECT_TRUE(game.Logged("manifest.txt: body longer than the 67108864 bytes"));
         }},
        {"empty folder to complete, then nothing to do",
         [](const Game&) {
             std::vector<ServedFile> files;
             for (int i = 0; i < 9; ++i)
                 files.push_back({"data/set " + std::to_string(i % 3) + "/f" + std::to_string(i),
                                  kAbc, kAbcSha1});
             files.push_back({"100% & more/[x] y+z.txt", kDog, ""});
             Publish(files, "# a comment line counts, it is no entry\n");
         },
         Updated(10),
         [](const Game& game, const PatchRunResult& result) {
             EXPECT_EQ(game.Read("data\\set 2\\f8"), kAbc);
             std::vector<std::string> requests = GameFileRequests();
             ASSERT_EQ(requests.size(), 10u);
             EXPECT_EQ(requests[0], "/skh-full/data/set%200/f0");
             // 11 lines: the check line comes at the 8th entry.
             for (const char* line :
                  {"Memeriksa file... (8/11)", "Mengunduh: 100% & more/[x] y+z.txt"})
                 EXPECT_TRUE(Shown(result, line)) << line;
             EXPECT_EQ(RunIn(game).finalStatus, kUpToDate);
             EXPECT_TRUE(GameFileRequests().empty());
         }},
        {"a new version line finds exactly the damaged file; big ones are never read",
         [](const Game& game) {
             Publish({{"ok.txt", kAbc, kAbcSha1},
                      {"damaged.txt", kDog, kDogSha1},
                      {"big.txt", kDog, "big"}});
             game.Write("ok.txt", kAbc);
             game.Write("damaged.txt", kCog);
             game.Write("big.txt", kCog);
             game.Write("SKH2026_patch.state", "v0");
         },
         Updated(1),
         [](const Game&, const PatchRunResult&) {
             EXPECT_EQ(GameFileRequests(), (std::vector<std::string>{"/skh-full/damaged.txt"}));
         }},
        // Which faults fail a file is the transfer's contract (http_test); here, how a run counts.
        // A listed digest is checked in an unsigned release too: bent.txt arrives corrupted.
        {"failed downloads count, the rest goes on, the runtime runs, the next start repairs",
         [](const Game& game) {
             Publish({{"ok1.txt", kAbc, "big"}, {"bent.txt", kDog, kDogSha1}},
                     "missing.txt|5|big\n");
             SetFault("/skh-full/bent.txt", "corrupt 3");
             game.Write("bent.txt", kCog);
             game.Write("SKH2026_patch.state", "v0");
             game.PlaceInstaller();
         },
         Failed(2),
         [](const Game& game, const PatchRunResult& result) {
             EXPECT_FALSE(game.Has("missing.txt"));
             Runtime(true)(game, result);
             // Two: ok1.txt came the first time, and no version was recorded to keep bent.txt.
             ServeFile("skh-full/missing.txt", "fixed");
             EXPECT_EQ(RunIn(game).finalStatus, Updated(2));
         }},
        // Which paths are refused is shown natively; here, that they count and are never asked.
        {"refused paths are never requested nor touched",
         [](const Game&) {
             Publish({{"good.txt", kAbc, "big"}},
                     "../escape.txt|3|big\n" + std::string(300, 'n') + "|3|big\n");
         },
         Failed(2),
         [](const Game& game, const PatchRunResult&) {
             EXPECT_EQ(GameFileRequests(), (std::vector<std::string>{"/skh-full/good.txt"}));
             EXPECT_EQ(ListFilesRecursive(game.dir),
                       (std::vector<std::string>{"SKH2026_patch.log", "good.txt"}));
             EXPECT_TRUE(game.Logged("manifest entry 1 refused: ../escape.txt"));
         }},
        {"an entry naming a folder, or the folder itself, fails and leaves it",
         [](const Game& game) {
             CreateDirectoryA((game.dir + "folder").c_str(), nullptr);
             Publish({{"folder", kAbc, "big"}}, "|0|big\n");
         },
         Failed(2),
         [](const Game& game, const PatchRunResult&) {
             EXPECT_TRUE(std::filesystem::is_directory(game.dir + "folder"));
         }},
        {"a big file with a chunk index: a same-size change found, only its ranges fetched",
         [](const Game& game) { game.PlaceArchive(); }, Updated(1),
         [](const Game& game, const PatchRunResult& result) {
             EXPECT_EQ(game.Read("archive.pak"), kArchiveV2);
             long long fetched = 0;
             for (const auto& range : Ranges())
                 fetched += range.second - range.first + 1;
             EXPECT_LE(fetched, (1 << 20) + 4 * (256 << 10));
             EXPECT_EQ(CountRequests(kArchivePath), static_cast<int>(Ranges().size()));
             for (const char* line : {"Mengunduh: archive.pak", "Mengunduh data game...  1 / 1 MB"})
                 EXPECT_TRUE(Shown(result, line)) << line;
             EXPECT_EQ(RunIn(game).finalStatus, kUpToDate);
             EXPECT_EQ(CountRequests(kArchivePath), 0);
             // After another version change it is read, found current and kept as it is.
             game.Write("SKH2026_patch.state", "v0");
             EXPECT_EQ(RunIn(game).finalStatus, kUpToDate);
             EXPECT_EQ(CountRequests(kArchivePath), 0);
             EXPECT_EQ(ListFilesRecursive(game.dir),
                       (std::vector<std::string>{"SKH2026_patch.log", "SKH2026_patch.state",
                                                 "archive.pak"}));
         }},
        ArchiveFault("a host that ignores Range: the whole file", "norange", true,
                     "ignores ranges"),
        ArchiveFault("a 206 of other bytes than asked", "badrange", false, "asked for"),
        ArchiveFault("a chunk corrupted in transit", "corrupt 1572864", false, "differs from the"),
        ArchiveFault("an index whose whole-file digest is not the file's: the part file deleted",
                     "lying index", false, "the assembled file's SHA-256 is not the index's",
                     [](const Game& game, const PatchRunResult&) {
                         EXPECT_FALSE(game.Has("archive.pak.skh2026-part"));
                     }),
        ArchiveFault(
            "a sync cut off resumes: the next run fetches exactly what the first did not store",
            "cut 600000", false, "body ended after 600000",
            [](const Game& game, const PatchRunResult&) {
                // The part file keeps the chunks that end before the cut.
                const long long cutAt = Ranges().at(0).first + 600000;
                const auto* data = reinterpret_cast<const unsigned char*>(kArchiveV2.data());
                ChunkCutter cutter;
                bool cut = false;
                long long stored = 0;
                for (long long end = 0; end <= cutAt;
                     end += FindChunkEnd(&cutter, data + end, kArchiveV2.size() - end, &cut))
                    stored = end;
                EXPECT_EQ(RunIn(game).finalStatus, Updated(1));
                EXPECT_EQ(game.Read("archive.pak"), kArchiveV2);
                EXPECT_EQ(Ranges().at(0).first, stored);
            }),
        {"an archive above 4 GiB resumed from a sparse part file: offsets past 32 bits",
         [](const Game& game) {
             PublishArchive(kArchiveV2.substr(0, 1 << 20), false, "huge.pak", kHugeZeros);
             WriteSparseFile(game.dir + "huge.pak.skh2026-part", kHugeZeros, "");
         },
         Updated(1),
         [](const Game& game, const PatchRunResult&) {
             EXPECT_EQ(Ranges("/skh-full/huge.pak"),
                       (std::vector<std::pair<long long, long long>>{{kHugeZeros, 4296015871}}));
             EXPECT_EQ(static_cast<int64_t>(std::filesystem::file_size(game.dir + "huge.pak")),
                       kHugeZeros + (1 << 20));
             DeleteFileA((game.dir + "huge.pak").c_str());
         }},
        {"a launcher path that was cut: nothing fetched, nothing written",
         [](const Game&) { gState.gameDir[0] = '\0'; },
         "Folder game terlalu panjang. Pindahkan game ke folder yang lebih pendek.",
         [](const Game& game, const PatchRunResult&) {
             EXPECT_TRUE(ReadRequests().empty());
             EXPECT_TRUE(ListFilesRecursive(game.dir).empty());
         }},
        {"a game folder that cannot be written: one line before any download",
         [](const Game&) { strcat(gState.gameDir, "not-there\\"); },
         "Folder game tidak bisa ditulis. Pindahkan game atau jalankan sebagai administrator.",
         [](const Game&, const PatchRunResult&) { EXPECT_TRUE(ReadRequests().empty()); }},
        // Only a DWORD 1 in the 32-bit view counts as installed.
        RuntimeMarked("a DWORD 1 in the 32-bit view", REG_DWORD, kOne, KEY_WOW64_32KEY, false),
        RuntimeMarked("a DWORD 1 in the 64-bit view", REG_DWORD, kOne, KEY_WOW64_64KEY, true),
        RuntimeMarked("the text 1", REG_SZ, std::string("1", 2), KEY_WOW64_32KEY, true),
        RuntimeMarked("a QWORD 1", REG_QWORD, kOne + kOne.substr(1), KEY_WOW64_32KEY, true),
        // Which bytes make a whole executable is shown natively; one a transfer cannot tell.
        {"an offered launcher cut short with no length announced: the launcher stays as it was",
         [](const Game&) {
             ServeFile("skh-share/patcher_version.txt", "5\r\n");
             ServeFile("skh-share/SKH2026_Patcher.exe", WholeExecutable(4096));
             SetFault("/skh-share/SKH2026_Patcher.exe", "cut_nolength 4000");
         },
         kUpToDate, GivenUp},
        {"the same offer after a hand-over that did not take: none again; a record reached goes",
         [](const Game& game) {
             ServeFile("skh-share/patcher_version.txt", "5\r\n");
             game.Write("SKH2026_patch.handover", "5");
         },
         kUpToDate,
         [](const Game& game, const PatchRunResult& result) {
             EXPECT_EQ(result.steps.at(0).text, "Update launcher gagal. Lanjut dengan versi ini.");
             EXPECT_EQ(game.Read("SKH2026_patch.handover"), "5");
             EXPECT_TRUE(game.Logged("launcher update to build 5 did not take: this is build 4"));
             RemoveServedFile("skh-share/patcher_version.txt");
             game.Write("SKH2026_patch.handover", "4");
             EXPECT_EQ(RunIn(game).finalStatus, kUpToDate);
             EXPECT_FALSE(game.Has("SKH2026_patch.handover"));
         }},
    };
    for (const Scenario& scenario : scenarios)
        RunScenario(scenario);
}

// The news count goes out before exactly one WM_NEWS_READY, entries only from a whole file (which
// answers count as received is http_test's: one above 1 MiB fails as a 404 does).
TEST(NewsThreadTest, OneMessageAfterTheCountAndEntriesOnlyFromAWholeFile) {
    const std::string news = "# Berita\r\nEVENT | Double drop | All weekend\r\nINFO|Server up\r\n";
    for (const std::string& body : {news, news + std::string(1 << 20, '#')}) {
        SCOPED_TRACE(body.size());
        const int count = body == news ? 2 : 0;
        ResetLauncherForRun(MakeGameDir("news"));
        memset(gState.newsItems, 0x5a, sizeof(gState.newsItems));
        ServeFile("skh-share/news.txt", body);
        const NewsRunResult run = RunNewsThread();
        EXPECT_EQ(run.posts, 1);
        EXPECT_EQ(run.countWhenPosted, count);
        // The entries come from the file; those past the count are left as they were.
        EXPECT_EQ(gState.newsItems[0].tag[0], count > 0 ? 'E' : 0x5a);
        EXPECT_EQ(gState.newsItems[count].tag[0], 0x5a);
    }
}

}  // namespace
