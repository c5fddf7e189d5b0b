// An update's placement killed after every number of moves, in a real installation whose moves
// include the host program, the runtime library and a plug-in: the next start of the host, run
// directly, finds the old installation whole (or, once placed, the new one), byte for byte.
#include "TestInstallation.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qmtest {
namespace {

namespace fs = std::filesystem;

using TTree = std::map<std::string, std::string>;

// Every path of the installation with its content and mode, leaving out what a start writes (the
// log, the evidence) and the update's own work folder.
TTree Snapshot(const fs::path& dir) {
    TTree tree;
    for (auto walk = fs::recursive_directory_iterator(dir); walk != fs::end(walk); ++walk) {
        const std::string name = walk->path().lexically_relative(dir).string();
        if (name == "Log" || name == "Download" || name == "evidence.txt") {
            if (walk->is_directory())
                walk.disable_recursion_pending();
            continue;
        }
        struct stat info {};
        lstat(walk->path().c_str(), &info);
        const std::string mode = " mode " + std::to_string(info.st_mode & 07777);
        if (walk->is_symlink())
            tree[name] = "-> " + fs::read_symlink(walk->path()).string();
        else if (walk->is_directory())
            tree[name] = "<folder>" + mode;
        else
            tree[name] = ReadWholeFile(walk->path()) + mode;
    }
    return tree;
}

void WriteExecutable(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
    fs::permissions(file, fs::perms(0755));
}

// The new release, staged as an extraction leaves it: the host, the runtime library and the
// channels plug-in changed (programs that still run: their bytes with a tail), the boot script
// changed, a folder added. A `brokenLibrary` release ships a runtime library that no program can
// load, so that any start which loads it before the old installation is back fails.
void StageRelease(const fs::path& dir, bool brokenLibrary) {
    const fs::path staging = dir / "Download/Extraction/Staging";
    const std::string tail = "\nthe new release\n";
    WriteExecutable(staging / "Quillmere", ReadWholeFile(QM_HOST_FILE) + tail);
    const std::string library = fs::path(QM_CORVANE_FILE).filename().string();
    WriteExecutable(staging / library,
                    brokenLibrary ? std::string("not a library") : ReadWholeFile(QM_CORVANE_FILE) + tail);
    WriteExecutable(staging / "Skellow.so", ReadWholeFile(QM_RECORDER_FILE) + tail);
    fs::create_directories(staging / "Config/Scripts");
    std::ofstream(staging / "Config/Scripts/boot.lua", std::ios::binary) << RecordStatement("new boot");
    fs::create_directories(staging / "Plugins/Added");
    std::ofstream(staging / "Plugins/Added/readme.txt", std::ios::binary) << "added by the update";
}

// The tree the installation holds once the staged release is placed.
TTree Overlaid(TTree tree, const fs::path& staging) {
    for (const auto& [name, content] : Snapshot(staging))
        tree[name] = content;
    return tree;
}

struct TPlaceRun {
    bool stopped = false;
    std::string line; // what the placing program printed
};

// Runs the placing program until it stops after `stop` moves (then kills it with SIGKILL) or ends.
TPlaceRun PlaceAndKill(const fs::path& dir, int stop) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return {false, "no pipe"};
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        const std::string recovery = (dir / "Plugins/qm-recover").string();
        const std::string stopText = std::to_string(stop);
        execl(QM_PLACE_UNTIL_FILE, QM_PLACE_UNTIL_FILE, dir.c_str(), stopText.c_str(), recovery.c_str(),
              nullptr);
        _exit(127);
    }
    close(pipeEnds[1]);
    std::string line;
    char c = 0;
    while (read(pipeEnds[0], &c, 1) == 1 && c != '\n')
        line += c;
    close(pipeEnds[0]);
    const bool stopped = line == "stopped";
    if (stopped)
        kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    return {stopped, line};
}

// A test installation with a boot script, and the recovery program in Plugins/.
std::unique_ptr<TTestInstallation> OldInstallation(const std::string& what) {
    auto desk = std::make_unique<TTestInstallation>(UniqueTitle(what));
    desk->WriteBootXml({"Config/Scripts/boot.lua"});
    desk->WriteFile("Config/Scripts/boot.lua", RecordStatement("old boot"));
    WriteExecutable(desk->Dir() / "Plugins/qm-recover", ReadWholeFile(QM_RECOVER_FILE));
    return desk;
}

// Starts the host as a user would and answers the boot script's line ("" when none came).
std::string StartAndSeeWhichBoot(const TTestInstallation& desk, const std::string& name) {
    auto host = desk.Start(name);
    WaitUntil([&] { return !desk.Evidence().empty() || !host->Running(); }, 30s);
    const std::vector<std::string> evidence = desk.Evidence();
    const std::string boot = evidence.empty() ? "" : evidence.front();
    if (boot.empty())
        ADD_FAILURE() << "the desk did not start: " << host->Output();
    host->Kill(SIGKILL);
    return boot;
}

TEST(KilledUpdate, EveryMoveCutShortGivesTheOldInstallationBackAtTheNextStart) {
    int moves = -1;
    for (const bool brokenLibrary : {false, true}) {
        for (int stop = 0; brokenLibrary ? stop < moves : true; ++stop) {
            SCOPED_TRACE((brokenLibrary ? "unloadable new library, killed after " : "killed after ") +
                         std::to_string(stop) + " moves");
            const auto desk = OldInstallation("killed update");
            const TTree before = Snapshot(desk->Dir());
            StageRelease(desk->Dir(), brokenLibrary);
            const TTree after = Overlaid(before, desk->Dir() / "Download/Extraction/Staging");

            const TPlaceRun run = PlaceAndKill(desk->Dir(), stop);
            if (!run.stopped) {
                // Every move is done and the update placed: the new release starts.
                ASSERT_EQ(run.line.rfind("placed ", 0), 0u) << run.line;
                ASSERT_FALSE(brokenLibrary);
                moves = std::stoi(run.line.substr(7));
                EXPECT_EQ(StartAndSeeWhichBoot(*desk, "placed"), "new boot");
                EXPECT_EQ(Snapshot(desk->Dir()), after);
                break;
            }
            EXPECT_EQ(StartAndSeeWhichBoot(*desk, "after kill " + std::to_string(stop)), "old boot");
            EXPECT_EQ(Snapshot(desk->Dir()), before);
            EXPECT_FALSE(fs::exists(desk->Dir() / "Download/Extraction/Backup"));
            EXPECT_FALSE(fs::exists(desk->Dir() / "Download/Extraction/Staging"));
        }
    }
    // The host, the runtime library, the plug-in, the boot script and the added folder, and the
    // recovery program's turn in the host's place.
    EXPECT_EQ(moves, 6);
}

// A placement that a running desk is making, held after `stop` moves until `Finish`.
class TPlacementUnderWay {
public:
    TPlacementUnderWay(const fs::path& dir, int stop) {
        int output[2], input[2];
        if (pipe(output) != 0 || pipe(input) != 0)
            return;
        child_ = fork();
        if (child_ == 0) {
            dup2(output[1], STDOUT_FILENO);
            dup2(input[0], STDIN_FILENO);
            for (const int end : {output[0], output[1], input[0], input[1]})
                close(end);
            const std::string recovery = (dir / "Plugins/qm-recover").string();
            const std::string stopText = std::to_string(stop);
            execl(QM_PLACE_UNTIL_FILE, QM_PLACE_UNTIL_FILE, dir.c_str(), stopText.c_str(), recovery.c_str(),
                  nullptr);
            _exit(127);
        }
        close(output[1]);
        close(input[0]);
        output_ = output[0];
        input_ = input[1];
        stopped_ = ReadLine() == "stopped";
    }
    ~TPlacementUnderWay() {
        kill(child_, SIGKILL);
        waitpid(child_, nullptr, 0);
        close(output_);
        close(input_);
    }
    bool Stopped() const { return stopped_; }
    // Lets the placement go on to its end; what it printed then.
    std::string Finish() {
        const char go = '\n';
        if (write(input_, &go, 1) != 1)
            return "cannot go on";
        return ReadLine();
    }

private:
    std::string ReadLine() {
        std::string line;
        char c = 0;
        while (read(output_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }
    pid_t child_ = -1;
    int output_ = -1, input_ = -1;
    bool stopped_ = false;
};

// Started while a desk is placing an update: before the first move (the old host starts), and
// once the recovery program stands in the host's place. The start must not take that placement
// for a killed one: it waits for it, then runs the new release.
TEST(KilledUpdate, AStartDuringAPlacementUnderWayWaitsForItAndRunsTheNewRelease) {
    for (const int stop : {0, 2}) {
        SCOPED_TRACE("started after " + std::to_string(stop) + " moves");
        const auto desk = OldInstallation("placement under way");
        const TTree before = Snapshot(desk->Dir());
        StageRelease(desk->Dir(), false);
        const TTree after = Overlaid(before, desk->Dir() / "Download/Extraction/Staging");
        TPlacementUnderWay placing(desk->Dir(), stop);
        ASSERT_TRUE(placing.Stopped());

        auto host = desk->Start("during placement " + std::to_string(stop));
        std::this_thread::sleep_for(1500ms);
        EXPECT_TRUE(desk->Evidence().empty()) << "the start did not wait for the placement";
        EXPECT_TRUE(fs::exists(desk->Dir() / "Download/Extraction/Backup")) << "the placement was undone";
        EXPECT_EQ(placing.Finish().rfind("placed ", 0), 0u);

        WaitUntil([&] { return !desk->Evidence().empty() || !host->Running(); }, 30s);
        const std::vector<std::string> evidence = desk->Evidence();
        EXPECT_EQ(evidence.empty() ? "" : evidence.front(), "new boot") << host->Output();
        host->Kill(SIGKILL);
        EXPECT_EQ(Snapshot(desk->Dir()), after);
    }
}

// The system calls of one whole placement, traced: which paths were flushed, and the renames, in
// order.
struct TTrace {
    struct TCall {
        std::string name; // "fsync", "rename", "renameat2"
        std::string path; // what was flushed, or the rename's destination
        std::string from; // the rename's source
    };
    std::vector<TCall> calls;

    // The position of the first call that matches, or calls.size().
    std::size_t Find(const std::function<bool(const TCall&)>& match, std::size_t from = 0) const {
        for (std::size_t i = from; i < calls.size(); ++i)
            if (match(calls[i]))
                return i;
        return calls.size();
    }
    bool Flushed(const fs::path& path, std::size_t from, std::size_t to) const {
        for (std::size_t i = from; i < to && i < calls.size(); ++i)
            if (calls[i].name == "fsync" && calls[i].path == path.string())
                return true;
        return false;
    }
};

// The quoted strings of a traced call, in order.
std::vector<std::string> QuotedIn(const std::string& line) {
    std::vector<std::string> texts;
    for (std::size_t at = line.find('"'); at != std::string::npos; at = line.find('"', at + 1)) {
        const std::size_t end = line.find('"', at + 1);
        texts.push_back(line.substr(at + 1, end - at - 1));
        at = end;
    }
    return texts;
}

TTrace TracePlacement(const fs::path& dir, const fs::path& traceFile) {
    const std::string command = "strace -f -y -qq -e trace=fsync,rename,renameat2 -o '" + traceFile.string() +
                                "' '" + QM_PLACE_UNTIL_FILE + "' '" + dir.string() + "' 999 '" +
                                (dir / "Plugins/qm-recover").string() + "' >/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    TTrace trace;
    std::istringstream lines(ReadWholeFile(traceFile));
    for (std::string line; std::getline(lines, line);) {
        const std::size_t call = line.find_first_not_of("0123456789 ");
        line = line.substr(call);
        if (line.rfind("fsync(", 0) == 0 && line.find(") = 0") != std::string::npos) {
            const std::size_t open = line.find('<'), close = line.find('>');
            trace.calls.push_back({"fsync", line.substr(open + 1, close - open - 1), ""});
        } else if (line.rfind("rename", 0) == 0 && line.find(") = 0") != std::string::npos) {
            const std::vector<std::string> paths = QuotedIn(line);
            if (paths.size() == 2)
                trace.calls.push_back({line.substr(0, line.find('(')), paths[1], paths[0]});
        }
    }
    return trace;
}

TEST(KilledUpdate, EverythingAMoveReliesOnReachesTheDiskBeforeTheFirstMoveAndAfterTheLast) {
    const auto desk = OldInstallation("flushed update");
    StageRelease(desk->Dir(), false);
    const fs::path work = desk->Dir() / "Download/Extraction";
    std::vector<fs::path> staged = {work / "Staging"};
    for (const auto& entry : fs::recursive_directory_iterator(work / "Staging"))
        staged.push_back(entry.path());
    const TTrace trace = TracePlacement(desk->Dir(), desk->Dir().parent_path() / "placement.trace");

    const auto isMove = [&](const TTrace::TCall& call) {
        return call.name != "fsync" && call.path.rfind(work.string(), 0) != 0 &&
               call.path.rfind(desk->Dir().string(), 0) == 0;
    };
    const std::size_t firstMove = trace.Find(isMove);
    ASSERT_LT(firstMove, trace.calls.size()) << "no move traced";
    for (const fs::path& path : staged)
        EXPECT_TRUE(trace.Flushed(path, 0, firstMove)) << path << " before the first move";
    for (const fs::path& path :
         {work / "Backup/journal.tmp", work / "Backup", work / "Backup/replaced", work})
        EXPECT_TRUE(trace.Flushed(path, 0, firstMove)) << path << " before the first move";

    const std::size_t retired = trace.Find([&](const TTrace::TCall& call) {
        return call.from == (work / "Backup").string() && call.path == (work / "Discard").string();
    });
    ASSERT_LT(retired, trace.calls.size()) << "Backup was not retired";
    std::size_t lastMove = firstMove;
    for (std::size_t i = firstMove; i < retired; ++i)
        if (isMove(trace.calls[i]))
            lastMove = i;
    for (const fs::path& path :
         {desk->Dir(), desk->Dir() / "Config/Scripts", desk->Dir() / "Plugins", work / "Backup"})
        EXPECT_TRUE(trace.Flushed(path, lastMove, retired)) << path << " after the last move";
    EXPECT_TRUE(trace.Flushed(work, retired, trace.calls.size())) << "the retirement";
}

} // namespace
} // namespace qmtest
