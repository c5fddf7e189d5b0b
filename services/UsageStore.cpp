#include "services/UsageStore.h"

#include "services/SqliteStatements.h"

#include <chrono>
#include <stdexcept>

namespace qm::server {

namespace {

constexpr const char* kSchema = "PRAGMA journal_mode=WAL;"
                                "PRAGMA synchronous=NORMAL;"
                                "CREATE TABLE IF NOT EXISTS usage_files ("
                                " id TEXT PRIMARY KEY,"
                                " received_at INTEGER NOT NULL,"
                                " body TEXT NOT NULL);"
                                "CREATE TABLE IF NOT EXISTS usage_counts ("
                                " file_id TEXT NOT NULL,"
                                " product_id TEXT NOT NULL,"
                                " product_ver TEXT NOT NULL,"
                                " registration_number TEXT NOT NULL,"
                                " user TEXT NOT NULL,"
                                " day TEXT NOT NULL,"
                                " function_key TEXT NOT NULL,"
                                " count INTEGER NOT NULL);"
                                "CREATE INDEX IF NOT EXISTS usage_counts_file ON usage_counts (file_id);";

void Execute(sqlite3* database, const char* sql) {
    if (sqlite3_exec(database, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        Fail(database, sql);
}

void Step(sqlite3* database, sqlite3_stmt* statement, const char* what) {
    if (sqlite3_step(statement) != SQLITE_DONE)
        Fail(database, what);
}

} // namespace

UsageStore::UsageStore(const std::filesystem::path& file) {
    sqlite3* database = nullptr;
    const int opened = sqlite3_open_v2(
        file.c_str(), &database, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    database_.reset(database);
    if (opened != SQLITE_OK)
        Fail(database, "open " + file.string());
    sqlite3_busy_timeout(database, 5000);
    Execute(database, kSchema);
}

UsageStore::~UsageStore() = default;

void UsageStore::Store(const std::string& fileId, const std::string& text,
                       const std::vector<UsageCount>& counts) {
    const auto now =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    const std::lock_guard lock(mutex_);
    sqlite3* database = database_.get();
    Execute(database, "BEGIN IMMEDIATE");
    try {
        const Statement forget = Prepare(database, "DELETE FROM usage_counts WHERE file_id = ?");
        BindText(database, forget.get(), 1, fileId);
        Step(database, forget.get(), "delete counts");
        const Statement file =
            Prepare(database, "INSERT OR REPLACE INTO usage_files (id, received_at, body) VALUES (?, ?, ?)");
        BindText(database, file.get(), 1, fileId);
        sqlite3_bind_int64(file.get(), 2, now);
        BindText(database, file.get(), 3, text);
        Step(database, file.get(), "insert file");
        const Statement insert =
            Prepare(database, "INSERT INTO usage_counts (file_id, product_id, product_ver, "
                              "registration_number, user, day, function_key, count) "
                              "VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
        for (const UsageCount& count : counts) {
            sqlite3_reset(insert.get());
            BindText(database, insert.get(), 1, fileId);
            BindText(database, insert.get(), 2, count.productId);
            BindText(database, insert.get(), 3, count.productVer);
            BindText(database, insert.get(), 4, count.registrationNumber);
            BindText(database, insert.get(), 5, count.user);
            BindText(database, insert.get(), 6, count.day);
            BindText(database, insert.get(), 7, count.functionKey);
            sqlite3_bind_int64(insert.get(), 8, count.count);
            Step(database, insert.get(), "insert count");
        }
        Execute(database, "COMMIT");
    } catch (...) {
        sqlite3_exec(database, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

UsageStore::Summary UsageStore::Summarise() {
    const std::lock_guard lock(mutex_);
    sqlite3* database = database_.get();
    Summary summary;
    const Statement files = Prepare(database, "SELECT COUNT(*) FROM usage_files");
    if (sqlite3_step(files.get()) != SQLITE_ROW)
        Fail(database, "count files");
    summary.files = sqlite3_column_int64(files.get(), 0);
    const Statement totals =
        Prepare(database, "SELECT user, day, function_key, SUM(count) FROM usage_counts "
                          "GROUP BY user, day, function_key ORDER BY user, day, function_key");
    int result = SQLITE_ROW;
    while ((result = sqlite3_step(totals.get())) == SQLITE_ROW) {
        Total total{ColumnText(totals.get(), 0), ColumnText(totals.get(), 1), ColumnText(totals.get(), 2),
                    sqlite3_column_int64(totals.get(), 3)};
        summary.total += total.count;
        summary.counts.push_back(std::move(total));
    }
    if (result != SQLITE_DONE)
        Fail(database, "sum counts");
    return summary;
}

} // namespace qm::server
