#pragma once

#include "corvane/TransferStop.h"

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

// The one way results come back to the UI thread. Work done on another thread (an update check, a
// reachability probe, a package check, an extraction) hands its answer to CallBackOn, which runs
// it on the UI thread from its event loop, for an object that is still there; nothing polls for a
// thread. The same function also defers a notice on the UI thread itself ("after the current call
// has returned"). TAsyncTask pairs it with a thread of its own: RunThenCallback.
namespace qm {

// Runs callback on context's thread, from its event loop, unless context is destroyed first (its
// pending callbacks go with it). Never runs callback before returning. From another thread the
// caller must know that context lives until the call has returned (TAsyncTask joins its thread
// first; TCallBackGate holds the object for its posts).
void CallBackOn(QObject* context, std::function<void()> callback);

// A way back to one object for threads that may outlive it: a post reaches the object while it
// lives, and none is made once Close has run. The object's owner closes the gate before the object
// goes. Thread-safe.
class TCallBackGate {
public:
    explicit TCallBackGate(QObject* context) : context_(context) {}
    TCallBackGate(const TCallBackGate&) = delete;
    TCallBackGate& operator=(const TCallBackGate&) = delete;

    // CallBackOn(context, callback), unless the gate is closed.
    void Post(std::function<void()> callback);
    // No post after this returns.
    void Close();

private:
    std::mutex lock_;
    QObject* context_; // not owned; null once closed
};

// One blocking piece of work at a time on a thread of its own, its answer handed to a callback on
// the owner's thread through CallBackOn. Destroying the object stops the work's network calls and
// waits for the thread, so the work never outlives the library's code and no answer reaches an
// owner that is gone.
class TAsyncTask {
public:
    TAsyncTask() = default;
    ~TAsyncTask() { Finish(); }
    TAsyncTask(const TAsyncTask&) = delete;
    TAsyncTask& operator=(const TAsyncTask&) = delete;

    // Runs work(stop) on a new thread unless work is still under way (then false). callback(answer)
    // runs later on context's thread, unless context is gone or Drop was called meanwhile.
    template <class R>
    bool RunThenCallback(QObject* context, std::function<R(corvane::TStopToken&)> work,
                         std::function<void(R)> callback) {
        if (Running())
            return false;
        // The last work has returned; its answer, if still on its way, is still delivered.
        if (thread_.joinable())
            thread_.join();
        auto call = std::make_shared<TCall>();
        call_ = call;
        thread_ = std::thread([call, context, work = std::move(work),
                               callback = std::move(callback)]() mutable {
            R answer = work(call->stop);
            call->running.store(false);
            if (call->dropped.load())
                return;
            // The owner is still there: it joins this thread before it goes.
            CallBackOn(context, [call, callback = std::move(callback), answer = std::move(answer)]() mutable {
                if (!call->dropped.load())
                    callback(std::move(answer));
            });
        });
        return true;
    }

    // True from RunThenCallback until the work has returned.
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
