#include "services/UsageStore.h"

#include "services/WallClock.h"

#include <algorithm>

namespace qm::server {

namespace {

// Counts go in with one statement per batch of rows, which saves a round trip per row; a batch
// stays well below both back ends' limits on parameters.
constexpr std::size_t kRowsPerBatch = 200;
constexpr std::size_t kColumns = 8;

std::string InsertCountsSql(std::size_t rows) {
    std::string sql = "INSERT INTO usage_counts (file_id, product_id, product_ver, registration_number, "
                      "\"user\", day, function_key, count) VALUES ";
    for (std::size_t row = 0; row < rows; ++row) {
        sql += row ? ", (" : "(";
        for (std::size_t column = 0; column < kColumns; ++column) {
            sql += column ? ", $" : "$";
            sql += std::to_string(row * kColumns + column + 1);
        }
        sql += ")";
    }
    return sql;
}

void InsertCounts(SqlSession& session, const std::string& fileId, const std::vector<UsageCount>& counts) {
    for (std::size_t first = 0; first < counts.size(); first += kRowsPerBatch) {
        const std::size_t rows = std::min(kRowsPerBatch, counts.size() - first);
        std::vector<SqlValue> values;
        values.reserve(rows * kColumns);
        for (std::size_t i = first; i < first + rows; ++i) {
            const UsageCount& count = counts[i];
            values.insert(values.end(), {fileId, count.productId, count.productVer, count.registrationNumber,
                                         count.user, count.day, count.functionKey, count.count});
        }
        session.Run(InsertCountsSql(rows), values);
    }
}

} // namespace

void UsageStore::Store(const std::string& fileId, const std::string& text,
                       const std::vector<UsageCount>& counts, const std::function<void()>& beforeCommit) {
    const std::int64_t now = WallMilliseconds() / 1000;
    database_.InTransaction([&](SqlSession& session) {
        // Held until the commit: a second store of the same file, on any server, starts only then
        // and so sees (and deletes) the counts of the first.
        session.LockKey("usage:" + fileId);
        session.Run("INSERT INTO usage_files (id, received_at, body) VALUES ($1, $2, $3) "
                    "ON CONFLICT (id) DO UPDATE SET received_at = excluded.received_at, body = excluded.body",
                    {fileId, now, text});
        session.Run("DELETE FROM usage_counts WHERE file_id = $1", {fileId});
        InsertCounts(session, fileId, counts);
        if (beforeCommit)
            beforeCommit();
    });
}

UsageStore::Summary UsageStore::Summarise() {
    Summary summary;
    database_.InSession([&](SqlSession& session) {
        summary.files = AsNumber(session.Run("SELECT COUNT(*) FROM usage_files").at(0).at(0));
        const SqlRows totals = session.Run("SELECT \"user\", day, function_key, SUM(count) FROM usage_counts "
                                           "GROUP BY \"user\", day, function_key "
                                           "ORDER BY \"user\", day, function_key");
        for (const SqlRow& row : totals) {
            Total total{AsText(row.at(0)), AsText(row.at(1)), AsText(row.at(2)), AsNumber(row.at(3))};
            summary.total += total.count;
            summary.counts.push_back(std::move(total));
        }
    });
    return summary;
}

} // namespace qm::server
