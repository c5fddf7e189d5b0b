#include "upgrade/ExtractArchive.h"

#include "common/Paths.h"
#include "common/Trace.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

namespace qm {

namespace {

constexpr const char* kTool = "Tolva_Compress.QX";

int RunTool(const std::string& file) {
    QProcess tool;
    tool.setWorkingDirectory(QString::fromStdString(AppPath()));
    // The tool's output is for developers; nothing is shown to the user.
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(QString::fromStdString(PluginsPath() + kTool),
               QStringList{"X", "-Y", QString::fromStdString(ToNativePath(file))});
    if (!tool.waitForStarted(-1)) {
        Trace("Upgrade", "cannot start " + PluginsPath() + kTool);
        return -1;
    }
    tool.waitForFinished(-1);
    const std::string output = tool.readAll().toStdString();
    if (!output.empty())
        Trace("Upgrade", output);
    if (tool.exitStatus() != QProcess::NormalExit)
        return -1;
    return tool.exitCode();
}

// The newest extraction thread. Each new thread first joins the one before it, so they run one
// at a time and joining the newest waits for all of them.
class TExtractionChain {
public:
    ~TExtractionChain() { Wait(); }

    std::shared_future<int> Add(const std::string& file) {
        std::lock_guard lock(mutex_);
        std::promise<int> promise;
        std::shared_future<int> result = promise.get_future().share();
        ++pending_;
        latest_ =
            std::thread([this, previous = std::move(latest_), file, promise = std::move(promise)]() mutable {
                if (previous.joinable())
                    previous.join();
                const int exitCode = RunTool(file);
                std::remove(ToNativePath(file).c_str());
                --pending_;
                promise.set_value(exitCode);
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

std::shared_future<int> ExtractArchive(const std::string& file) {
    return Chain().Add(file);
}

void WaitForExtractions() {
    Chain().Wait();
}

} // namespace qm
