#pragma once

#include "services/SqlDatabase.h"
#include "services/UsageShape.h"

#include <functional>
#include <string>
#include <vector>

namespace qm::server {

// The logging service's store: every statistics text it accepted, under the identifier the sender
// gave it, and its counts, in the usage database. A text stored again under the same identifier
// replaces the earlier one (a statistics file only grows, and a sender that crashed after the
// acceptance sends it again), so nothing is counted twice, also when several servers sharing the
// database get the same text at once: each store of an identifier holds its key until it commits.
// Safe to use from several threads.
class UsageStore {
public:
    // The database must have been migrated (MigrateUsage).
    explicit UsageStore(SqlDatabase& database) : database_(database) {}

    // Replaces whatever was stored under fileId, all or nothing. `beforeCommit`, when given, runs
    // inside the transaction after everything is written (tests hold a store there). Throws
    // DatabaseUnavailable or DatabaseError on a failure.
    void Store(const std::string& fileId, const std::string& text, const std::vector<UsageCount>& counts,
               const std::function<void()>& beforeCommit = {});

    struct Total {
        std::string user;
        std::string day;
        std::string functionKey;
        std::int64_t count = 0;
    };
    struct Summary {
        std::int64_t files = 0;
        std::int64_t total = 0;
        std::vector<Total> counts; // summed over files and products, ordered by user, day, key
    };
    Summary Summarise();

private:
    SqlDatabase& database_;
};

} // namespace qm::server
