#pragma once

#include "corvane/TransferStop.h"
#include "upgrade/UpgradeCheck.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace qm {

// The worker thread of the update checks: checks handed over by Enqueue run one after another, in
// order, through the check function given at creation, never on the caller's thread.
class TUpthrd {
public:
    // A check; its network calls give up at once when stop is stopped.
    using TCheck = std::function<void(const TDownload_Upfile&, corvane::TStopToken& stop)>;

    // Starts the thread. check runs on it and must not throw.
    explicit TUpthrd(TCheck check);
    // Stops the thread: a check under way has its network calls stopped and ends at once, checks
    // still pending are dropped.
    ~TUpthrd();
    TUpthrd(const TUpthrd&) = delete;
    TUpthrd& operator=(const TUpthrd&) = delete;

    // Queues upfile unless a pending check names the same "Upgrade.txt" (without regard to case):
    // then it is dropped and false comes back. A check already running does not count as pending.
    bool Enqueue(TDownload_Upfile upfile);

private:
    void Execute();

    const TCheck check_;
    std::mutex Lock;
    std::condition_variable wake_;
    bool WakeEvent = false; // manual-reset: set by Enqueue and the destructor, reset by the worker
    bool terminated_ = false;
    corvane::TStopToken stop_;
    std::vector<TDownload_Upfile> Pending; // under Lock
    std::vector<TDownload_Upfile> Working; // the worker's own
    std::thread thread_;                   // last: starts once everything above exists
};

} // namespace qm
