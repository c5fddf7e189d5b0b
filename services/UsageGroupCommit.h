#pragma once

#include "services/UsageStore.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace qm::server {

// Stores the usage files that arrive while earlier ones are being stored together, in one
// transaction: one commit, and so one wait for the disk, for all of them, where each file alone
// would wait for its own. A few writer threads take turns; each takes every file waiting (up to
// a limit) as its next batch, so that nothing waits for a batch to fill: one file arriving alone
// is stored at once. A file is answered only after its batch committed. When the database refuses
// a batch for another reason than being unreachable, its files are stored once more one by one,
// so that a file the database refuses fails alone and the others are stored.
class UsageGroupCommit {
public:
    // `writers`: batches stored at once (each holds a database connection meanwhile); at least 1.
    // `committed`, when given, is called after each transaction that stored files.
    UsageGroupCommit(UsageStore& store, int writers, std::function<void()> committed = {});
    // Stores what is still waiting, then ends the writers.
    ~UsageGroupCommit();
    UsageGroupCommit(const UsageGroupCommit&) = delete;
    UsageGroupCommit& operator=(const UsageGroupCommit&) = delete;

    // Stores the file with others; returns once it is stored, or throws what storing it threw
    // (DatabaseUnavailable, DatabaseError). `beforeCommit` runs inside its transaction before the
    // commit (tests hold a store there).
    void Store(UsageStore::File file, std::function<void()> beforeCommit = {});

private:
    struct Waiting {
        UsageStore::File file;
        std::function<void()> beforeCommit;
        std::promise<void> stored;
    };

    void Write();
    std::vector<Waiting> NextBatch(); // empty: stopping and nothing left
    void StoreBatch(std::vector<Waiting>& batch);

    void Committed() const {
        if (committed_)
            committed_();
    }

    UsageStore& store_;
    const std::function<void()> committed_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Waiting> waiting_;
    bool stopping_ = false;
    std::vector<std::thread> writers_;
};

} // namespace qm::server
