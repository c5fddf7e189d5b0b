#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace qm::server {

// A value bound to a statement's parameter: NULL, text or a whole number.
using SqlValue = std::variant<std::monostate, std::string, std::int64_t>;
// One row of a result, every column as text (NULL as nullopt).
using SqlRow = std::vector<std::optional<std::string>>;
using SqlRows = std::vector<SqlRow>;

// The database cannot be reached now (gone, restarting, too busy): the request may be tried again
// later, so routes answer 503.
class DatabaseUnavailable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Any other database failure (a broken statement, a constraint the code did not expect).
class DatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One connection, held for one unit of work. Statements number their parameters $1, $2, ...
// (the form both back ends read) and are prepared once per connection.
class SqlSession {
public:
    virtual ~SqlSession() = default;
    // Runs one statement; its rows, if it has any.
    virtual SqlRows Run(const std::string& sql, const std::vector<SqlValue>& parameters = {}) = 0;
    // Runs statements without parameters, separated by ";" (schema changes).
    virtual void RunScript(const std::string& sql) = 0;
    // Within a transaction: waits until no other transaction, on any server sharing the database,
    // holds `key`, then holds it until this one ends.
    virtual void LockKey(const std::string& key) = 0;
};

// A database the services keep their state in: an SQLite file, or a PostgreSQL database shared by
// several servers. Safe to use from several threads.
class SqlDatabase {
public:
    enum class Dialect { Sqlite, Postgres };
    virtual ~SqlDatabase() = default;
    virtual Dialect Kind() const = 0;
    // Runs `work` in one transaction: committed when it returns, rolled back when it throws.
    virtual void InTransaction(const std::function<void(SqlSession&)>& work) = 0;
    // Runs `work` with each statement committed on its own.
    virtual void InSession(const std::function<void(SqlSession&)>& work) = 0;
    // True when the database answers a trivial query now.
    virtual bool Answers() = 0;
    // Names the database in messages (never with a password).
    virtual std::string Describe() const = 0;

    // Runs one statement on its own.
    SqlRows RunOnce(const std::string& sql, const std::vector<SqlValue>& parameters = {}) {
        SqlRows rows;
        InSession([&](SqlSession& session) { rows = session.Run(sql, parameters); });
        return rows;
    }
};

// A column read as a whole number; 0 for NULL or text that is not one.
std::int64_t AsNumber(const std::optional<std::string>& column);
// A column read as text; "" for NULL.
std::string AsText(const std::optional<std::string>& column);

} // namespace qm::server
