#include "upgrade/ExtractArchive.h"

#include "common/AsyncTask.h"
#include "common/DurableFiles.h"
#include "common/Paths.h"
#include "common/StagedUpdate.h"
#include "common/UpdateWorkLock.h"
#include "corvane/TransferStop.h"
#include "upgrade/UpgradeLog.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <mutex>
#include <signal.h>
#include <sys/prctl.h>
#include <thread>

namespace qm {

namespace {

namespace fs = std::filesystem;

constexpr const char* kTool = "Tolva_Compress.QX";
constexpr const char* kRecoveryProgram = "qm-recover";
constexpr int kPollMilliseconds = 100;
// How long an extraction waits for another program (a second desk's start, the recovery program)
// to finish with the installation's update folders.
constexpr std::chrono::seconds kWaitForOtherUpdater{10};

std::atomic<std::chrono::milliseconds::rep> timeLimitForTesting{0};

std::chrono::milliseconds TimeLimit() {
    const auto forTesting = timeLimitForTesting.load();
    return forTesting > 0 ? std::chrono::milliseconds(forTesting) : kExtractionTimeLimit;
}

// Held for a whole extraction, and by the recovery, which must not undo a move under way.
std::mutex& WorkMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

// Runs the tool in `folder` until it ends, the time limit passes or the program stops. The
// answer is the tool's exit code or a negative code; `output` gets what it wrote.
int RunTool(const std::string& archive, const fs::path& folder, std::string& output) {
    QProcess tool;
    tool.setWorkingDirectory(QString::fromStdString(folder.string()));
    // The tool's output is for developers; nothing of it is shown to the user.
    tool.setProcessChannelMode(QProcess::MergedChannels);
    // The tool dies with the thread that waits for it: a desk that crashes must not leave it
    // writing into a staging folder that the next start clears and refills.
    tool.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    tool.start(QString::fromStdString(PluginsPath() + kTool),
               QStringList{"X", "-Y", QString::fromStdString(archive)});
    if (!tool.waitForStarted(-1)) {
        output = "cannot start " + PluginsPath() + kTool + ": " + tool.errorString().toStdString();
        return kExtractNotStarted;
    }
    const auto deadline = std::chrono::steady_clock::now() + TimeLimit();
    int killedFor = 0;
    while (!tool.waitForFinished(kPollMilliseconds) && tool.state() != QProcess::NotRunning) {
        if (corvane::ProcessStop().Stopped())
            killedFor = kExtractStopped;
        else if (std::chrono::steady_clock::now() >= deadline)
            killedFor = kExtractTimedOut;
        if (killedFor != 0) {
            tool.kill();
            tool.waitForFinished(-1);
            break;
        }
    }
    output = tool.readAll().toStdString();
    if (killedFor != 0)
        return killedFor;
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : kExtractCrashed;
}

// The outcome for a code, with the archive, the code and why in its detail for the log.
TExtractOutcome OutcomeOf(int code, const std::string& file, const std::string& detail) {
    if (code == 0)
        return Success();
    return ExtractOutcomeOf(code,
                            file + " (" + std::to_string(code) + (detail.empty() ? "" : ": " + detail) + ")");
}

// Moves the staged tree into place; the recovery program stands in the host's place meanwhile.
TExtractOutcome Place(const TUpdateFolders& folders, const std::string& file) {
    TPlacementOptions options;
    if (FileExists(PluginsPath() + kRecoveryProgram))
        options.Trampoline = PluginsPath() + kRecoveryProgram;
    const TPlacement placement = PlaceStagedTree(folders, options);
    if (placement.Placed())
        return Success();
    return OutcomeOf(placement.Unchanged ? kExtractNotPlaced : kExtractNotUndone, file, placement.Why);
}

// Extracts into the staging folder and, when the tool wrote every entry, moves the result into
// the installation. Nothing an earlier update left behind may join this one: the work folders
// are emptied first, or the extraction fails saying why.
TExtractOutcome ExtractStaged(const std::string& file) {
    const std::lock_guard work(WorkMutex());
    const TUpdateFolders folders = UpdateFolders(AppPath());
    std::error_code error;
    if (fs::create_directories(folders.Work, error), error)
        return OutcomeOf(kExtractNoStaging, file,
                         folders.Work.string() + ": cannot be made: " + error.message());
    // Held until the update is placed or undone: a second start meanwhile leaves it alone.
    const TUpdateWorkLock lock(folders.Work, kWaitForOtherUpdater);
    if (!lock.Held())
        return OutcomeOf(kExtractNoStaging, file, lock.Why());
    std::string detail = RecoverUpdateFolders(folders);
    if (detail.empty() && (fs::create_directories(folders.Staging, error), error))
        detail = folders.Staging.string() + ": cannot be made: " + error.message();
    if (!detail.empty())
        return OutcomeOf(kExtractNoStaging, file, detail);
    std::string output;
    const int code = RunTool(file, folders.Staging, output);
    if (!output.empty())
        qCDebug(lcUpgrade, "%s", output.c_str());
    // The requester tells the user and writes the log line, with the detail in it.
    TExtractOutcome outcome = code == 0 ? Place(folders, file) : OutcomeOf(code, file, FirstLine(output));
    RemoveTree(folders.Staging); // what stays is cleared, or reported, before the next extraction
    return outcome;
}

// The newest extraction thread. Each new thread first joins the one before it, so they run one
// at a time and joining the newest waits for all of them.
class TExtractionChain {
public:
    ~TExtractionChain() { Wait(); }

    // then(outcome) runs on the extraction's thread once the archive is gone.
    std::shared_future<TExtractOutcome> Add(const std::string& file,
                                            std::function<void(const TExtractOutcome&)> then) {
        std::lock_guard lock(mutex_);
        std::promise<TExtractOutcome> promise;
        std::shared_future<TExtractOutcome> result = promise.get_future().share();
        ++pending_;
        latest_ = std::thread([this, previous = std::move(latest_), file, promise = std::move(promise),
                               then = std::move(then)]() mutable {
            if (previous.joinable())
                previous.join();
            const TExtractOutcome outcome = ExtractStaged(file);
            std::remove(file.c_str());
            --pending_;
            promise.set_value(outcome);
            if (then)
                then(outcome);
        });
        return result;
    }

    // Holds the lock while it waits: an extraction asked for meanwhile starts after it.
    void Wait() {
        std::lock_guard lock(mutex_);
        if (latest_.joinable())
            latest_.join();
    }

    bool Pending() const noexcept { return pending_.load() > 0; }

private:
    std::atomic<int> pending_{0};
    std::mutex mutex_;
    std::thread latest_;
};

TExtractionChain& Chain() {
    static TExtractionChain chain;
    return chain;
}

} // namespace

bool ExtractionsPending() {
    return Chain().Pending();
}

namespace {

std::shared_future<TExtractOutcome> AddToChain(const std::string& file,
                                               std::function<void(const TExtractOutcome&)> then) {
    // The tool runs in another folder: a relative name is taken from where the caller is now.
    std::error_code error;
    const fs::path absolute = fs::absolute(ToNativePath(file), error);
    return Chain().Add(error ? ToNativePath(file) : absolute.string(), std::move(then));
}

} // namespace

std::shared_future<TExtractOutcome> ExtractArchive(const std::string& file) {
    return AddToChain(file, {});
}

void ExtractArchive(const std::string& file, std::shared_ptr<TCallBackGate> gate,
                    std::function<void(TExtractOutcome)> done) {
    AddToChain(file, [gate = std::move(gate), done = std::move(done)](const TExtractOutcome& outcome) {
        gate->Post([done, outcome] { done(outcome); });
    });
}

void WaitForExtractions() {
    Chain().Wait();
}

void RecoverInterruptedExtraction() {
    const std::unique_lock work(WorkMutex(), std::try_to_lock);
    const TUpdateFolders folders = UpdateFolders(AppPath());
    if (!work.owns_lock() || !fs::is_directory(folders.Work))
        return;
    // Another program on the same installation is busy with its own update: it cleans up after itself.
    const TUpdateWorkLock lock(folders.Work, std::chrono::milliseconds(0));
    if (lock.HeldElsewhere())
        return;
    const std::string why = lock.Held() ? RecoverUpdateFolders(folders) : lock.Why();
    if (!why.empty())
        LogWarning(lcUpgrade, "未完成的更新无法恢复: " + why);
}

void SetExtractionTimeLimitForTesting(std::chrono::milliseconds limit) {
    timeLimitForTesting = limit.count();
}

} // namespace qm
