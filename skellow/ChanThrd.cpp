#include "skellow/ChanThrd.h"

#include <utility>

namespace qm::skellow {

TChanThrd::TChanThrd(TUsageRecorder recorder, TUsageShipper shipper, TUsageShipper::TLogWriter log)
    : recorder_(std::move(recorder)), shipper_(std::move(shipper)), log_(std::move(log)),
      thread_([this] { Run(); }) {}

TChanThrd::~TChanThrd() {
    {
        const std::lock_guard guard(lock_);
        terminated_ = true;
        signalled_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void TChanThrd::Queue(TUsageEvent event) {
    bool wasSignalled = false;
    {
        const std::lock_guard guard(lock_);
        incoming_.push_back(std::move(event));
        ++queued_;
        wasSignalled = std::exchange(signalled_, true);
    }
    // A worker that is already signalled will take this event in its next turn without a wake-up.
    if (!wasSignalled)
        wake_.notify_one();
}

void TChanThrd::WaitIdle() {
    std::unique_lock guard(lock_);
    const std::uint64_t target = queued_;
    idle_.wait(guard, [&] { return done_ >= target || terminated_; });
}

void TChanThrd::Run() {
    std::vector<TUsageEvent> working;
    for (;;) {
        bool terminated = false;
        {
            std::unique_lock guard(lock_);
            wake_.wait(guard, [this] { return signalled_; });
            signalled_ = false;
            terminated = terminated_;
            working.swap(incoming_);
        }
        // Events that came before the end are still counted; shipping waits for the next start.
        Process(working, !terminated);
        {
            const std::lock_guard guard(lock_);
            done_ += working.size();
        }
        working.clear();
        idle_.notify_all();
        if (terminated)
            return;
    }
}

void TChanThrd::Process(std::vector<TUsageEvent>& events, bool ship) {
    for (TUsageEvent& event : events) {
        event.Normalise();
        try {
            recorder_.Record(event);
        } catch (const std::exception& error) {
            // A file that cannot be written loses this one event; the worker goes on with the next.
            log_(std::string("功能统计：使用记录无法保存：") + error.what());
        }
    }
    try {
        recorder_.Flush();
    } catch (const std::exception& error) {
        log_(std::string("功能统计：使用记录无法保存：") + error.what());
    }
    // A plug-in that is being destroyed waits for at most the file being shipped.
    if (ship)
        shipper_.ShipAll([this] {
            const std::lock_guard guard(lock_);
            return terminated_;
        });
}

} // namespace qm::skellow
