#pragma once

#include "services/UsageShape.h"

#include <filesystem>
#include <memory>
#include <mutex>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace qm::server {

// The logging service's store: one SQLite file holding every statistics text it accepted, under the
// identifier the sender gave it, and its counts. A text stored again under the same identifier
// replaces the earlier one (a statistics file only grows, and a sender that crashed after the
// acceptance sends it again), so nothing is counted twice. Safe to use from several threads.
class UsageStore {
public:
    // Opens or creates the file and its tables; throws std::runtime_error when it cannot.
    explicit UsageStore(const std::filesystem::path& file);
    ~UsageStore();
    UsageStore(const UsageStore&) = delete;
    UsageStore& operator=(const UsageStore&) = delete;

    // Replaces whatever was stored under fileId. Throws std::runtime_error on a database failure.
    void Store(const std::string& fileId, const std::string& text, const std::vector<UsageCount>& counts);

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
    struct DatabaseClose {
        void operator()(sqlite3* database) const noexcept { sqlite3_close_v2(database); }
    };

    std::mutex mutex_;
    std::unique_ptr<sqlite3, DatabaseClose> database_;
};

} // namespace qm::server
