#include "common/IniFile.h"
#include "corvane/Errors.h"
#include "tests/internet/InternetFixture.h"
#include "tests/upgrade/DownloadRun.h"
#include "upgrade/MultipartDownloader.h"

#include <filesystem>
#include <numeric>

namespace qm::test {
namespace {

// Its parts start off the block marks the downloader writes up to, and cross them.
constexpr std::size_t kLarge = 3 * 1024 * 1024 + 7;

// One reference server for the program; every test downloads into a folder of its own.
class DownloaderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        served = std::make_unique<TTempFolder>();
        for (const std::size_t size :
             {std::size_t{0}, std::size_t{1}, std::size_t{4}, std::size_t{5}, kLarge})
            Serve("size" + std::to_string(size) + ".bin", BinaryBytes(size, static_cast<unsigned>(size)));
        server = std::make_unique<ReferenceServer>(served->Path(), std::vector<std::string>{"--test-routes"});
    }
    static void TearDownTestSuite() {
        server.reset();
        served.reset();
    }

    static std::string Serve(const std::string& name, const std::string& bytes) {
        WriteBytes(served->File(name), bytes);
        return bytes;
    }
    static std::string Served(const std::string& name) { return ReadBytes(served->File(name)); }
    static std::string URL(const std::string& path) { return server->URL(path); }
    std::string Target(const std::string& name) const { return downloads.File(name); }

    TTempFolder downloads;

    static inline std::unique_ptr<TTempFolder> served;
    static inline std::unique_ptr<ReferenceServer> server;
};

// The state file's parts as the INI reader sees them.
struct SavedPart {
    std::int64_t start, end, done;
};
std::vector<SavedPart> SavedParts(const std::string& stateFile) {
    std::vector<SavedPart> parts;
    const int count = std::stoi(IniReadString(stateFile, "GLOBAL", "PartCount"));
    for (int i = 0; i < count; ++i) {
        const std::string section = "PART_" + std::to_string(i);
        parts.push_back({std::stoll(IniReadString(stateFile, section, "StartOffset")),
                         std::stoll(IniReadString(stateFile, section, "EndOffset")),
                         std::stoll(IniReadString(stateFile, section, "DataCount"))});
    }
    return parts;
}
std::int64_t SavedBytes(const std::string& stateFile) {
    const auto parts = SavedParts(stateFile);
    return std::accumulate(parts.begin(), parts.end(), std::int64_t{0},
                           [](std::int64_t sum, const SavedPart& part) { return sum + part.done; });
}

TEST_F(DownloaderTest, DownloadsMatchTheServedBytes) {
    struct Case {
        std::string path;
        std::size_t size;
        std::int64_t announced; // what ContentLength() reports
        int partCount = 5;
        bool pauseAfterEveryPiece = false; // every piece held by libcurl and handed over again
    };
    const std::string large = "size" + std::to_string(kLarge) + ".bin";
    const auto largeLength = static_cast<std::int64_t>(kLarge);
    std::vector<Case> cases = {{"/size5.bin", 5, 5, 0},
                               {"/" + large, kLarge, largeLength, 1},
                               {"/" + large, kLarge, largeLength, 5, true},
                               {"/norange/" + large, kLarge, largeLength, 5, true}};
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{4}, std::size_t{5}, kLarge}) {
        const std::string name = "size" + std::to_string(size) + ".bin";
        const auto length = static_cast<std::int64_t>(size);
        cases.push_back({"/" + name, size, length, 5});
        cases.push_back({"/norange/" + name, size, length, 5});
        cases.push_back({"/nolength/" + name, size, -1, 5});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " in " + std::to_string(c.partCount) + " parts" +
                     (c.pauseAfterEveryPiece ? ", pausing after every piece" : ""));
        const std::string target = Target("file.bin");
        WriteBytes(target, "old bytes that must go");
        TDownloadRun run(URL(c.path), target);
        run.downloader->PartCount = c.partCount;
        if (c.pauseAfterEveryPiece)
            run.downloader->TurnLength = std::chrono::microseconds(0);
        run.downloader->Start();
        ASSERT_TRUE(run.WaitDone());
        ASSERT_EQ(run.done.size(), 1u);
        EXPECT_EQ(run.done[0].first, kDownloadFinished);
        EXPECT_EQ(ReadBytes(target), Served("size" + std::to_string(c.size) + ".bin"));
        EXPECT_EQ(run.downloader->ContentLength(), c.announced);
        EXPECT_EQ(run.downloader->SessionBytes(), static_cast<std::int64_t>(c.size));
        EXPECT_FALSE(std::filesystem::exists(target + ".Status"));
        EXPECT_FALSE(run.downloader->Running());
    }
}

// A transfer stops at the most bytes it may have (a signed length): a server that announces more
// is refused before a byte is written, and a body without a length is cut off there.
TEST_F(DownloaderTest, ATransferStopsAtItsMostBytes) {
    const std::string large = "size" + std::to_string(kLarge) + ".bin";
    const struct {
        std::string path;
        std::int64_t most;
        int code;
    } cases[] = {
        {"/size5.bin", 5, kDownloadFinished},
        {"/size5.bin", 4, kDownloadBeyondLength},
        {"/norange/size5.bin", 4, kDownloadBeyondLength},
        {"/nolength/size5.bin", 5, kDownloadFinished},
        {"/nolength/size5.bin", 4, kDownloadBeyondLength},
        {"/nolength/" + large, 300000, kDownloadBeyondLength},
        {"/" + large, static_cast<std::int64_t>(kLarge) - 1, kDownloadBeyondLength},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path + " at most " + std::to_string(c.most));
        const std::string target = Target("file" + std::to_string(++index) + ".bin");
        TDownloadRun run(URL(c.path), target);
        run.downloader->MostBytes = c.most;
        run.downloader->Start();
        ASSERT_TRUE(run.WaitDone());
        ASSERT_EQ(run.done.size(), 1u);
        EXPECT_EQ(run.done[0].first, c.code);
        const std::int64_t kept = std::filesystem::exists(target)
                                      ? static_cast<std::int64_t>(std::filesystem::file_size(target))
                                      : 0;
        EXPECT_LE(kept, c.most) << "nothing beyond the length is kept";
    }
}

TEST_F(DownloaderTest, PauseWritesTheStateAndResumeContinuesFromIt) {
    const std::string body = Serve("paused.bin", BinaryBytes(600000, 11));
    const std::string url = URL("/slow/paused.bin?rate=50000");
    const std::string target = Target("paused.bin");
    const std::string stateFile = target + ".Status";
    {
        TDownloadRun run(url, target);
        run.downloader->Start();
        ASSERT_TRUE(run.WaitForData());
        run.downloader->Pause();
        EXPECT_FALSE(run.downloader->Running());
        ASSERT_TRUE(run.WaitDone());
        EXPECT_EQ(run.done[0], std::make_pair(kDownloadPaused, std::string("Transfert paused")));
    }
    EXPECT_EQ(IniReadString(stateFile, "GLOBAL", "Url"), url);
    EXPECT_EQ(IniReadString(stateFile, "GLOBAL", "ContentLength"), "600000");
    EXPECT_EQ(IniReadString(stateFile, "GLOBAL", "PartCount"), "5");
    EXPECT_FALSE(IniReadString(stateFile, "GLOBAL", "LastModified").empty());
    const auto parts = SavedParts(stateFile);
    ASSERT_EQ(parts.size(), 5u);
    std::int64_t next = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        EXPECT_EQ(parts[i].start, next);
        EXPECT_EQ(parts[i].end - parts[i].start + 1, 120000);
        EXPECT_GE(parts[i].done, 0);
        EXPECT_LT(parts[i].done, 120000);
        EXPECT_EQ(IniReadString(stateFile, "PART_" + std::to_string(i), "URL"), url);
        // What the state counts is really in the file.
        EXPECT_EQ(
            ReadBytes(target).substr(static_cast<std::size_t>(parts[i].start),
                                     static_cast<std::size_t>(parts[i].done)),
            body.substr(static_cast<std::size_t>(parts[i].start), static_cast<std::size_t>(parts[i].done)));
        next = parts[i].end + 1;
    }
    const std::int64_t saved = SavedBytes(stateFile);
    ASSERT_GT(saved, 0);

    TDownloadRun resumed("", target);
    resumed.downloader->Resume();
    ASSERT_TRUE(resumed.WaitDone());
    EXPECT_EQ(resumed.done[0].first, kDownloadFinished);
    EXPECT_EQ(ReadBytes(target), body);
    EXPECT_EQ(resumed.downloader->SessionBytes(), 600000 - saved);
    EXPECT_FALSE(std::filesystem::exists(stateFile));
}

TEST_F(DownloaderTest, AKilledTransferResumesFromTheStateItWroteWhileRunning) {
    const std::string body = Serve("killed.bin", BinaryBytes(600000, 12));
    const std::string url = URL("/slow/killed.bin?rate=50000");
    const std::string target = Target("killed.bin");
    const std::string stateFile = target + ".Status";
    {
        TDownloadRun run(url, target);
        run.downloader->Start();
        ASSERT_TRUE(TDownloadRun::WaitFor(
            [&] { return std::filesystem::exists(stateFile) && SavedBytes(stateFile) > 0; }));
        run.Kill();
        EXPECT_TRUE(run.done.empty());
    }
    const std::int64_t saved = SavedBytes(stateFile);

    TDownloadRun other(URL("/slow/other.bin"), target);
    EXPECT_FALSE(other.downloader->HasResumableState());
    TDownloadRun resumed(url, target);
    ASSERT_TRUE(resumed.downloader->HasResumableState());
    resumed.downloader->Resume();
    ASSERT_TRUE(resumed.WaitDone());
    EXPECT_EQ(resumed.done[0].first, kDownloadFinished);
    EXPECT_EQ(ReadBytes(target), body);
    EXPECT_EQ(resumed.downloader->SessionBytes(), 600000 - saved);
    EXPECT_FALSE(resumed.downloader->HasResumableState());
}

TEST_F(DownloaderTest, ResumeStartsOverWhenTheServersFileChanged) {
    struct Case {
        std::string name;
        std::size_t newSize;
    };
    for (const Case& c : {Case{"longer", 350000}, Case{"same length, newer", 300000}}) {
        SCOPED_TRACE(c.name);
        Serve("changing.bin", BinaryBytes(300000, 13));
        const std::string target = Target("changing.bin");
        {
            TDownloadRun run(URL("/slow/changing.bin?rate=50000"), target);
            run.downloader->Start();
            ASSERT_TRUE(run.WaitForData());
            run.downloader->Pause();
            ASSERT_TRUE(run.WaitDone());
        }
        const std::string changed = Serve("changing.bin", BinaryBytes(c.newSize, 14));
        const auto later =
            std::filesystem::last_write_time(served->File("changing.bin")) + std::chrono::hours(1);
        std::filesystem::last_write_time(served->File("changing.bin"), later);

        TDownloadRun resumed("", target);
        resumed.downloader->Resume();
        ASSERT_TRUE(resumed.WaitDone());
        EXPECT_EQ(resumed.done[0].first, kDownloadFinished);
        EXPECT_EQ(ReadBytes(target), changed);
        EXPECT_EQ(resumed.downloader->SessionBytes(), static_cast<std::int64_t>(c.newSize));
    }
}

TEST_F(DownloaderTest, DroppedConnectionsReportNetworkLossPerPart) {
    const std::string body = Serve("dropped.bin", BinaryBytes(100000, 15));
    const std::string target = Target("dropped.bin");
    TDownloadRun run(URL("/drop/dropped.bin"), target);
    run.WatchParts();
    run.downloader->Start();
    ASSERT_TRUE(run.WaitDone());
    // Every part was cut after half its range and left alone; the last one's end ends the transfer.
    ASSERT_EQ(run.partEvents.size(), 5u);
    for (const auto& [part, code] : run.partEvents)
        EXPECT_EQ(code, kPartNetworkLost) << "part " << part;
    EXPECT_EQ(run.done[0].first, kPartNetworkLost);
    const auto parts = SavedParts(target + ".Status");
    ASSERT_EQ(parts.size(), 5u);
    for (const SavedPart& part : parts) {
        EXPECT_EQ(part.done, (part.end - part.start + 1) / 2);
        EXPECT_EQ(ReadBytes(target).substr(static_cast<std::size_t>(part.start),
                                           static_cast<std::size_t>(part.done)),
                  body.substr(static_cast<std::size_t>(part.start), static_cast<std::size_t>(part.done)));
    }
}

TEST_F(DownloaderTest, ANetworkLossHandledByPausingEndsAsAPause) {
    Serve("lost.bin", BinaryBytes(100000, 16));
    const std::string target = Target("lost.bin");
    TDownloadRun run(URL("/drop/lost.bin"), target);
    run.WatchParts([&run] { run.downloader->Pause(); });
    run.downloader->Start();
    ASSERT_TRUE(run.WaitDone());
    ASSERT_GE(run.partEvents.size(), 1u);
    EXPECT_EQ(run.partEvents[0].second, kPartNetworkLost);
    EXPECT_EQ(run.done, (std::vector<std::pair<int, std::string>>{{kDownloadPaused, "Transfert paused"}}));
    EXPECT_TRUE(run.downloader->HasResumableState());
}

TEST_F(DownloaderTest, AbortEndsWith503AndForgetsTheState) {
    Serve("aborted.bin", BinaryBytes(600000, 17));
    const std::string target = Target("aborted.bin");
    TDownloadRun run(URL("/slow/aborted.bin?rate=50000"), target);
    run.downloader->Start();
    ASSERT_TRUE(TDownloadRun::WaitFor([&] { return std::filesystem::exists(target + ".Status"); }));
    run.downloader->Abort();
    ASSERT_TRUE(run.WaitDone());
    EXPECT_EQ(run.done, (std::vector<std::pair<int, std::string>>{{kDownloadAborted, "Transfert aborted"}}));
    EXPECT_FALSE(std::filesystem::exists(target + ".Status"));
    EXPECT_FALSE(run.downloader->Running());
}

TEST_F(DownloaderTest, AFailedFirstRequestReportsItsCode) {
    const RefusingPort refusing;
    struct Case {
        std::string url;
        std::pair<int, std::string> done;
    };
    for (const Case& c : {Case{refusing.URL("/size5.bin"), {kConnectionRefused, "Download failed"}},
                          Case{URL("/missing.bin"), {404, "Not Found"}}}) {
        SCOPED_TRACE(c.url);
        TDownloadRun run(c.url, Target("failed.bin"));
        run.downloader->Start();
        ASSERT_TRUE(run.WaitDone());
        EXPECT_EQ(run.done, (std::vector<std::pair<int, std::string>>{c.done}));
        EXPECT_FALSE(std::filesystem::exists(Target("failed.bin.Status")));
    }
}

TEST_F(DownloaderTest, RefusesWhatItsSettingsDoNotAllow) {
    const std::string target = Target("refused.bin");
    TDownloadRun noURL("", target);
    EXPECT_THROW(noURL.downloader->Start(), corvane::ETax);
    EXPECT_THROW(noURL.downloader->Resume(), corvane::ETax); // no state file there
    noURL.downloader->StateFileName.clear();
    EXPECT_THROW(noURL.downloader->Pause(), corvane::ETax);

    TDownloadRun running(URL("/slow/size5.bin?rate=1"), target);
    running.downloader->Start();
    EXPECT_THROW(running.downloader->Start(), corvane::ETax);
    running.downloader->Abort();
    EXPECT_TRUE(running.WaitDone());
}

} // namespace
} // namespace qm::test
