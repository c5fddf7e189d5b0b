#include "services/UsageGroupCommit.h"

#include <algorithm>
#include <exception>

namespace qm::server {

namespace {

// A batch's statements and transaction stay small: files are at most 1 MiB each (refused
// beyond), and a writer takes no more than this many, nor more text than the byte limit (but
// always at least one file).
constexpr std::size_t kMostFilesPerBatch = 64;
constexpr std::size_t kMostBytesPerBatch = 4 * 1024 * 1024;

} // namespace

UsageGroupCommit::UsageGroupCommit(UsageStore& store, int writers, std::function<void()> committed)
    : store_(store), committed_(std::move(committed)) {
    for (int i = 0; i < std::max(writers, 1); ++i)
        writers_.emplace_back([this] { Write(); });
}

UsageGroupCommit::~UsageGroupCommit() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    arrived_.notify_all();
    for (std::thread& writer : writers_)
        writer.join();
}

void UsageGroupCommit::Store(UsageStore::File file, std::function<void()> beforeCommit) {
    std::future<void> stored;
    {
        const std::lock_guard lock(mutex_);
        Waiting& waiting = waiting_.emplace_back(Waiting{std::move(file), std::move(beforeCommit), {}});
        stored = waiting.stored.get_future();
    }
    arrived_.notify_one();
    stored.get();
}

void UsageGroupCommit::Write() {
    for (;;) {
        std::vector<Waiting> batch = NextBatch();
        if (batch.empty())
            return;
        StoreBatch(batch);
    }
}

std::vector<UsageGroupCommit::Waiting> UsageGroupCommit::NextBatch() {
    std::unique_lock lock(mutex_);
    arrived_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
    std::vector<Waiting> batch;
    std::size_t bytes = 0;
    while (!waiting_.empty() && batch.size() < kMostFilesPerBatch &&
           (batch.empty() || bytes + waiting_.front().file.text.size() <= kMostBytesPerBatch)) {
        bytes += waiting_.front().file.text.size();
        batch.push_back(std::move(waiting_.front()));
        waiting_.pop_front();
    }
    // More than one batch's worth waiting: another writer starts on the rest meanwhile.
    if (!waiting_.empty())
        arrived_.notify_one();
    return batch;
}

void UsageGroupCommit::StoreBatch(std::vector<Waiting>& batch) {
    std::vector<const UsageStore::File*> files;
    for (const Waiting& waiting : batch)
        files.push_back(&waiting.file);
    const auto beforeCommit = [&batch] {
        for (const Waiting& waiting : batch) {
            if (waiting.beforeCommit)
                waiting.beforeCommit();
        }
    };
    try {
        store_.Store(files, beforeCommit);
        Committed();
        for (Waiting& waiting : batch)
            waiting.stored.set_value();
        return;
    } catch (const DatabaseUnavailable&) {
        // Unreachable for one file is unreachable for all: each hears so, and sends again later.
        const std::exception_ptr failure = std::current_exception();
        for (Waiting& waiting : batch)
            waiting.stored.set_exception(failure);
        return;
    } catch (...) {
        if (batch.size() == 1) {
            batch.front().stored.set_exception(std::current_exception());
            return;
        }
    }
    // Refused as a whole: one of the files may be what the database refuses. Each alone now.
    for (Waiting& waiting : batch) {
        try {
            store_.Store({&waiting.file}, waiting.beforeCommit);
            Committed();
            waiting.stored.set_value();
        } catch (...) {
            waiting.stored.set_exception(std::current_exception());
        }
    }
}

} // namespace qm::server
