#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <httplib.h>
#include <mutex>
#include <thread>
#include <vector>

namespace qm::server {

// The server's connection workers: a thread is started whenever a job finds no idle one, up to
// `most`; further jobs wait their turn. Threads, once started, stay until shutdown(), so that a
// quiet server keeps only the threads its busiest moment needed.
class WorkerPool : public httplib::TaskQueue {
public:
    explicit WorkerPool(std::size_t most) : most_(most) {}
    ~WorkerPool() override { shutdown(); }
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Queues the job; starts a thread for it when every started one is busy and there is room.
    void enqueue(std::function<void()> job) override;
    // Lets the queued jobs finish, then ends and joins every thread. Later calls do nothing.
    void shutdown() override;

private:
    void Work();

    const std::size_t most_;
    std::mutex mutex_;
    std::condition_variable waiting_;
    std::deque<std::function<void()>> jobs_;
    std::vector<std::thread> threads_;
    std::size_t idle_ = 0;
    bool stopping_ = false;
};

} // namespace qm::server
