#include "services/WorkerPool.h"

namespace qm::server {

void WorkerPool::enqueue(std::function<void()> job) {
    {
        const std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        // Idle threads already woken for earlier jobs are not free for this one.
        if (!stopping_ && jobs_.size() > idle_ && threads_.size() < most_)
            threads_.emplace_back([this] { Work(); });
    }
    waiting_.notify_one();
}

void WorkerPool::shutdown() {
    std::vector<std::thread> threads;
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        threads.swap(threads_);
    }
    waiting_.notify_all();
    for (std::thread& thread : threads)
        thread.join();
}

void WorkerPool::Work() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            ++idle_;
            waiting_.wait(lock, [this] { return !jobs_.empty() || stopping_; });
            --idle_;
            if (jobs_.empty())
                return; // stopping, with nothing left to do
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}

} // namespace qm::server
