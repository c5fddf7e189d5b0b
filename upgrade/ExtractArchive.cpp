#include "upgrade/ExtractArchive.h"

#include "common/AsyncTask.h"
#include "common/Paths.h"
#include "corvane/TransferStop.h"
#include "upgrade/StagedUpdate.h"
#include "upgrade/UpgradeLog.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <mutex>
#include <thread>

namespace qm {

namespace {

namespace fs = std::filesystem;

constexpr const char* kTool = "Tolva_Compress.QX";
constexpr int kPollMilliseconds = 100;

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

// Extracts into the staging folder and, when the tool wrote every entry, moves the result into
// the installation.
TExtractOutcome ExtractStaged(const std::string& file) {
    const std::lock_guard work(WorkMutex());
    const TUpdateFolders folders = UpdateFolders(AppPath());
    const TResult<> recovered = RecoverUpdateFolders(folders);
    std::error_code error;
    fs::create_directories(folders.Staging, error);
    if (!recovered || error)
        return ExtractOutcomeOf(kExtractNoStaging);
    std::string detail;
    std::string output;
    int code = RunTool(file, folders.Staging, output);
    if (!output.empty())
        qCDebug(lcUpgrade, "%s", output.c_str());
    detail = FirstLine(output);
    if (code == 0) {
        const TResult<> placed = PlaceStagedTree(folders);
        if (!placed) {
            code = kExtractNotPlaced;
            detail = placed.Reason();
        }
    }
    fs::remove_all(folders.Staging, error);
    // The requester tells the user and writes the log line, with this detail in it.
    return ExtractOutcomeOf(code,
                            file + " (" + std::to_string(code) + (detail.empty() ? "" : ": " + detail) + ")");
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
    if (!work.owns_lock())
        return;
    const TResult<> recovered = RecoverUpdateFolders(UpdateFolders(AppPath()));
    if (!recovered)
        LogWarning(lcUpgrade, "未完成的更新无法恢复: " + recovered.Reason());
}

void SetExtractionTimeLimitForTesting(std::chrono::milliseconds limit) {
    timeLimitForTesting = limit.count();
}

} // namespace qm
