#pragma once

#include "services/SqlDatabase.h"

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <sqlite3.h>

namespace qm::server {

// One SQLite file with one connection, used by one request at a time: SQLite writes one
// transaction at a time anyway. Write-ahead logging, so that readers of other processes do not
// wait for a writer.
class SqliteDatabase : public SqlDatabase {
public:
    // Opens or creates the file; throws DatabaseError when it cannot.
    explicit SqliteDatabase(const std::filesystem::path& file);
    ~SqliteDatabase() override;
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    Dialect Kind() const override { return Dialect::Sqlite; }
    void InTransaction(const std::function<void(SqlSession&)>& work) override;
    void InSession(const std::function<void(SqlSession&)>& work) override;
    bool Answers() override;
    std::string Describe() const override { return file_.string(); }

private:
    class Session;
    struct DatabaseClose {
        void operator()(sqlite3* database) const noexcept { sqlite3_close_v2(database); }
    };
    struct StatementFinalize {
        void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
    };

    [[noreturn]] void Fail(const std::string& what) const;
    void Execute(const char* sql);
    sqlite3_stmt* Prepared(const std::string& sql);

    const std::filesystem::path file_;
    std::mutex mutex_; // one unit of work at a time on the connection
    std::unique_ptr<sqlite3, DatabaseClose> database_;
    std::map<std::string, std::unique_ptr<sqlite3_stmt, StatementFinalize>> statements_; // by text
};

} // namespace qm::server
