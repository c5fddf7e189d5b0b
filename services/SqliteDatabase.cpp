#include "services/SqliteDatabase.h"

namespace qm::server {

class SqliteDatabase::Session : public SqlSession {
public:
    explicit Session(SqliteDatabase& owner) : owner_(owner) {}

    SqlRows Run(const std::string& sql, const std::vector<SqlValue>& parameters) override {
        sqlite3_stmt* statement = owner_.Prepared(sql);
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        for (std::size_t i = 0; i < parameters.size(); ++i)
            Bind(statement, i + 1, parameters[i]);
        SqlRows rows;
        int result = SQLITE_ROW;
        while ((result = sqlite3_step(statement)) == SQLITE_ROW) {
            SqlRow& row = rows.emplace_back();
            for (int column = 0; column < sqlite3_column_count(statement); ++column) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
                if (text)
                    row.emplace_back(
                        std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column))));
                else
                    row.emplace_back(std::nullopt);
            }
        }
        sqlite3_reset(statement);
        if (result != SQLITE_DONE)
            owner_.Fail("run");
        return rows;
    }

    void RunScript(const std::string& sql) override { owner_.Execute(sql.c_str()); }

    // The connection's lock and BEGIN IMMEDIATE already keep every other writer out.
    void LockKey(const std::string&) override {}

private:
    // Parameters are written $1, $2, ...: found by name, so that their order in the text is free.
    void Bind(sqlite3_stmt* statement, std::size_t number, const SqlValue& value) {
        const int index = sqlite3_bind_parameter_index(statement, ("$" + std::to_string(number)).c_str());
        if (index == 0)
            return; // a parameter the statement does not use
        int bound = SQLITE_OK;
        if (const auto* text = std::get_if<std::string>(&value))
            bound = sqlite3_bind_text(statement, index, text->data(), static_cast<int>(text->size()),
                                      SQLITE_TRANSIENT);
        else if (const auto* whole = std::get_if<std::int64_t>(&value))
            bound = sqlite3_bind_int64(statement, index, *whole);
        else
            bound = sqlite3_bind_null(statement, index);
        if (bound != SQLITE_OK)
            owner_.Fail("bind");
    }

    SqliteDatabase& owner_;
};

SqliteDatabase::SqliteDatabase(const std::filesystem::path& file) : file_(file) {
    sqlite3* database = nullptr;
    const int opened = sqlite3_open_v2(
        file.c_str(), &database, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    database_.reset(database); // closed even when opening failed
    if (opened != SQLITE_OK)
        Fail("open");
    sqlite3_busy_timeout(database, 5000);
    Execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
}

SqliteDatabase::~SqliteDatabase() {
    statements_.clear(); // before the connection
}

void SqliteDatabase::Fail(const std::string& what) const {
    sqlite3* database = database_.get();
    const std::string message = "database " + file_.string() + ": " + what + ": " +
                                (database ? sqlite3_errmsg(database) : "out of memory");
    const int code = database ? sqlite3_errcode(database) & 0xff : SQLITE_NOMEM;
    // Another process holding the file longer than the busy timeout: worth trying again later.
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
        throw DatabaseUnavailable(message);
    throw DatabaseError(message);
}

void SqliteDatabase::Execute(const char* sql) {
    if (sqlite3_exec(database_.get(), sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        Fail(sql);
}

sqlite3_stmt* SqliteDatabase::Prepared(const std::string& sql) {
    auto& slot = statements_[sql];
    if (!slot) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v3(database_.get(), sql.c_str(), static_cast<int>(sql.size()),
                               SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK) {
            statements_.erase(sql);
            Fail("prepare " + sql);
        }
        slot.reset(statement);
    }
    return slot.get();
}

void SqliteDatabase::InTransaction(const std::function<void(SqlSession&)>& work) {
    const std::lock_guard lock(mutex_);
    Execute("BEGIN IMMEDIATE");
    try {
        Session session(*this);
        work(session);
        Execute("COMMIT");
    } catch (...) {
        sqlite3_exec(database_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void SqliteDatabase::InSession(const std::function<void(SqlSession&)>& work) {
    const std::lock_guard lock(mutex_);
    Session session(*this);
    work(session);
}

bool SqliteDatabase::Answers() {
    try {
        return !RunOnce("SELECT 1").empty();
    } catch (const std::runtime_error&) {
        return false;
    }
}

} // namespace qm::server
