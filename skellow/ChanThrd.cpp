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
    // A hanging logging service must not hold up the desk's close or the plug-in's unloading.
    stop_.Stop();
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

template <class TStep> void TChanThrd::Guarded(const char* what, TStep&& step) noexcept {
    try {
        step();
    } catch (const std::exception& error) {
        LogFailure(what, error.what());
    } catch (...) {
        LogFailure(what, "未知的错误");
    }
}

void TChanThrd::LogFailure(const char* what, const char* why) noexcept {
    try {
        log_(std::string(what) + why);
    } catch (...) {
        // Nowhere left to report it; counting goes on.
    }
}

void TChanThrd::Run() noexcept {
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

void TChanThrd::Process(std::vector<TUsageEvent>& events, bool ship) noexcept {
    // A step that fails is logged and the turn goes on: counts a failed save could not write stay
    // with the recorder for the next one.
    for (TUsageEvent& event : events) {
        Guarded("功能统计：使用记录无法保存：", [&] {
            event.Normalise();
            recorder_.Record(event);
        });
    }
    Guarded("功能统计：使用记录无法保存：", [this] { recorder_.Flush(); });
    if (ship)
        Guarded("功能统计：发送统计文件时出错：", [this] { shipper_.ShipAll(&stop_); });
}

} // namespace qm::skellow
