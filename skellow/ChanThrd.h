#pragma once

#include "corvane/TransferStop.h"
#include "skellow/UsageEvent.h"
#include "skellow/UsageRecorder.h"
#include "skellow/UsageShipper.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace qm::skellow {

// The usage statistics worker: callers queue events (one copy, one short lock, never a wait for
// the work); the worker takes all queued events in each turn, records them in arrival order and
// then ships the statistics files. Problems with one event or file are logged and the worker goes
// on; nothing thrown in a turn ends the worker. It owns everything it uses (the recorder with the
// current file name, the shipper, the token that stops its network calls), so it never reaches back
// into the plugin object.
//
// Destruction stops it and waits for it: a shipping call in progress is cut short at once (the
// file stays for the next start) and events still queued are recorded, not shipped.
class TChanThrd {
public:
    TChanThrd(TUsageRecorder recorder, TUsageShipper shipper, TUsageShipper::TLogWriter log);
    ~TChanThrd();
    TChanThrd(const TChanThrd&) = delete;
    TChanThrd& operator=(const TChanThrd&) = delete;

    // Safe from any thread.
    void Queue(TUsageEvent event);

    // Waits until every event queued so far has been recorded and shipping has been tried after it
    // (for tests and benchmarks).
    void WaitIdle();

private:
    // The thread function. Only a broken mutex could throw in it (and would end the program).
    void Run() noexcept;
    // Records the events, flushes and, when ship is set, ships; raises nothing.
    void Process(std::vector<TUsageEvent>& events, bool ship) noexcept;
    // Runs one step of a turn; whatever it throws is logged under `what` and the turn goes on.
    template <class TStep> void Guarded(const char* what, TStep&& step) noexcept;
    // Logs "what" followed by why; a log writer that fails is not the worker's end.
    void LogFailure(const char* what, const char* why) noexcept;

    std::mutex lock_;
    std::condition_variable wake_; // the wake-up event: signalled_ under lock_
    std::condition_variable idle_; // a turn ended
    bool signalled_ = false;       // manual-reset: set by Queue and the destructor, reset by the worker
    bool terminated_ = false;
    std::uint64_t queued_ = 0; // events queued so far
    std::uint64_t done_ = 0;   // events whose turn has ended
    std::vector<TUsageEvent> incoming_;
    TUsageRecorder recorder_; // worker only
    TUsageShipper shipper_;   // worker only
    TUsageShipper::TLogWriter log_;
    corvane::TStopToken stop_; // stopped by the destructor: ends the worker's network calls at once
    std::thread thread_;       // last: starts once everything above exists
};

} // namespace qm::skellow
