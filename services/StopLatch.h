#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace qm::server {

// A one-way signal that the server is stopping. Handlers that hold a request on purpose wait on
// it, so that the server's workers are free again when it stops (the server joins them).
class StopLatch {
public:
    void Release() {
        {
            const std::lock_guard lock(mutex_);
            released_ = true;
        }
        changed_.notify_all();
    }

    void Wait() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return released_; });
    }

    // Waits at most `longest`; true when released.
    bool WaitFor(std::chrono::milliseconds longest) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, longest, [this] { return released_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool released_ = false;
};

} // namespace qm::server
