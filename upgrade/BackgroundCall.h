#pragma once

#include "corvane/TransferStop.h"

#include <QObject>
#include <QPointer>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <utility>

namespace qm {

// One blocking piece of work at a time (a reachability probe, a package check) on a thread of its
// own, its answer handed to a function on the owner's (UI) thread. Destroying the object stops the
// work's network calls and waits for the thread, so the work never outlives the library's code and
// no answer reaches an owner that is gone.
class TBackgroundCall {
public:
    TBackgroundCall() = default;
    ~TBackgroundCall() { Finish(); }
    TBackgroundCall(const TBackgroundCall&) = delete;
    TBackgroundCall& operator=(const TBackgroundCall&) = delete;

    // Runs work(stop) on a new thread unless work is still under way (then false). done(answer)
    // runs later on context's thread, unless context is gone or Drop was called meanwhile.
    template <class R>
    bool Start(QObject* context, std::function<R(corvane::TStopToken&)> work, std::function<void(R)> done) {
        if (Running())
            return false;
        // The last work has returned; its answer, if still on its way, is still delivered.
        if (thread_.joinable())
            thread_.join();
        auto call = std::make_shared<TCall>();
        call_ = call;
        thread_ = std::thread([call, guard = QPointer<QObject>(context), work = std::move(work),
                               done = std::move(done)]() mutable {
            R answer = work(call->stop);
            call->running.store(false);
            if (call->dropped.load())
                return;
            QMetaObject::invokeMethod(
                guard.data(),
                [call, guard, done = std::move(done), answer = std::move(answer)]() mutable {
                    if (guard && !call->dropped.load())
                        done(std::move(answer));
                },
                Qt::QueuedConnection);
        });
        return true;
    }

    // True from Start until the work has returned.
    bool Running() const noexcept { return call_ && call_->running.load(); }

    // The answer of the work under way is not wanted any more; its network calls stop.
    void Drop() {
        if (!call_)
            return;
        call_->dropped.store(true);
        call_->stop.Stop();
    }

private:
    struct TCall {
        corvane::TStopToken stop;
        std::atomic<bool> running{true};
        std::atomic<bool> dropped{false};
    };

    void Finish() {
        Drop();
        if (thread_.joinable())
            thread_.join();
    }

    std::shared_ptr<TCall> call_;
    std::thread thread_;
};

} // namespace qm
