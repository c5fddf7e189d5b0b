#include "services/PostgresDatabase.h"

#include <exception>
#include <libpq-fe.h>
#include <unordered_map>

namespace qm::server {

namespace {

// A conflict with another transaction: the whole transaction may simply run again.
class TransactionConflict : public DatabaseError {
public:
    using DatabaseError::DatabaseError;
};

constexpr int kConflictAttempts = 4;

struct ResultClear {
    void operator()(PGresult* result) const noexcept { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultClear>;

// Failures of the connection or of the server as a whole, not of the statement.
bool IsUnavailableState(const std::string& state) {
    return state.rfind("08", 0) == 0 || state.rfind("53", 0) == 0 || state.rfind("57P", 0) == 0;
}

// libpq's messages span lines; the server's log keeps one line per event.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\t')
            c = ' ';
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

} // namespace

std::string WithoutPassword(const std::string& uri) {
    const auto scheme = uri.find("://");
    if (scheme == std::string::npos)
        return uri;
    const auto at = uri.find('@', scheme + 3);
    const auto slash = uri.find('/', scheme + 3);
    if (at == std::string::npos || (slash != std::string::npos && slash < at))
        return uri;
    const auto colon = uri.find(':', scheme + 3);
    if (colon == std::string::npos || colon > at)
        return uri;
    return uri.substr(0, colon) + uri.substr(at);
}

class PostgresDatabase::Connection : public SqlSession {
public:
    explicit Connection(const std::string& uri) {
        // Defaults first: whatever the address itself says overrides them.
        // Notices ("already exists, skipping") are not worth a line in the server's log.
        const char* keys[] = {"connect_timeout",  "keepalives", "keepalives_idle", "tcp_user_timeout",
                              "application_name", "options",    "dbname",          nullptr};
        const char* values[] = {
            "3",         "1",    "30", "10000", "qm-reference-server", "-c client_min_messages=warning",
            uri.c_str(), nullptr};
        connection_ = PQconnectdbParams(keys, values, 1);
        if (!connection_ || PQstatus(connection_) != CONNECTION_OK) {
            const std::string why = OneLine(connection_ ? PQerrorMessage(connection_) : "out of memory");
            PQfinish(connection_);
            connection_ = nullptr;
            throw DatabaseUnavailable("cannot connect to " + WithoutPassword(uri) + ": " + why);
        }
    }
    ~Connection() override { PQfinish(connection_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool Broken() const { return broken_ || PQstatus(connection_) != CONNECTION_OK; }

    // False when the server has closed the connection while it lay idle (a restart): reading what
    // is pending, without waiting, tells.
    bool StillOpen() {
        if (!Broken() && PQconsumeInput(connection_) == 0)
            broken_ = true;
        return !Broken();
    }

    // Starts a transaction. BEGIN waits to go out with the first statement, saving a round trip.
    void Begin() { queued_.push_back({"BEGIN", {}}); }

    // Commits what ran since Begin(); throws like Run.
    void Commit() {
        if (queued_.size() == 1 && queued_.front().sql == "BEGIN") {
            queued_.clear(); // nothing ran: there is no transaction to end
            return;
        }
        queued_.push_back({"COMMIT", {}});
        RunQueued();
    }

    SqlRows Run(const std::string& sql, const std::vector<SqlValue>& parameters) override {
        if (!queued_.empty()) {
            queued_.push_back({sql, parameters});
            return RunQueued();
        }
        const std::string& name = Prepared(sql, static_cast<int>(parameters.size()));
        const TextValues values(parameters);
        const Result result(PQexecPrepared(connection_, name.c_str(), values.Count(), values.Pointers(),
                                           nullptr, nullptr, 0));
        Check(result.get(), "run");
        return Rows(result.get());
    }

    void RunAll(const std::vector<SqlStatement>& statements) override {
        queued_.insert(queued_.end(), statements.begin(), statements.end());
        RunQueued();
    }

    void RunScript(const std::string& sql) override {
        if (!queued_.empty())
            RunQueued();
        const Result result(PQexec(connection_, sql.c_str()));
        Check(result.get(), "run script");
    }

    // Waits to go out with the next statement, which runs once the lock is held.
    void LockKey(const std::string& key) override {
        queued_.push_back({"SELECT pg_advisory_xact_lock(hashtext($1))", {key}});
    }

    // The locks are taken in the order of their numbers, whatever order the keys came in.
    void LockKeys(const std::vector<std::string>& keys) override {
        if (keys.empty())
            return;
        std::string rows;
        for (std::size_t i = 1; i <= keys.size(); ++i)
            rows += (i > 1 ? ", ($" : "($") + std::to_string(i) + "::text)";
        queued_.push_back(
            {"SELECT pg_advisory_xact_lock(lock_id) FROM (SELECT DISTINCT hashtext(key_text) AS "
             "lock_id FROM (VALUES " +
                 rows + ") AS keys (key_text) ORDER BY lock_id) AS locks",
             std::vector<SqlValue>(keys.begin(), keys.end())});
    }

    // Runs what still waits to go out (a lock no statement followed), so that nothing is left
    // for the connection's next user.
    void Flush() {
        if (!queued_.empty())
            RunQueued();
    }

    // Ends a transaction that failed; a connection that cannot is not used again.
    void RollBack() noexcept {
        queued_.clear();
        if (Broken() || PQtransactionStatus(connection_) == PQTRANS_IDLE)
            return;
        const Result result(PQexec(connection_, "ROLLBACK"));
        if (!result || PQresultStatus(result.get()) != PGRES_COMMAND_OK)
            broken_ = true;
    }

private:
    // Parameters as libpq takes them: text, NULL as a null pointer.
    class TextValues {
    public:
        explicit TextValues(const std::vector<SqlValue>& parameters)
            : texts_(parameters.size()), pointers_(parameters.size(), nullptr) {
            for (std::size_t i = 0; i < parameters.size(); ++i) {
                if (const auto* text = std::get_if<std::string>(&parameters[i]))
                    texts_[i] = *text;
                else if (const auto* number = std::get_if<std::int64_t>(&parameters[i]))
                    texts_[i] = std::to_string(*number);
                else
                    continue;
                pointers_[i] = texts_[i].c_str();
            }
        }
        int Count() const { return static_cast<int>(pointers_.size()); }
        const char* const* Pointers() const { return pointers_.data(); }

    private:
        std::vector<std::string> texts_;
        std::vector<const char*> pointers_;
    };

    static SqlRows Rows(PGresult* result) {
        SqlRows rows;
        const int rowCount = PQntuples(result);
        const int columns = PQnfields(result);
        rows.reserve(static_cast<std::size_t>(rowCount));
        for (int r = 0; r < rowCount; ++r) {
            SqlRow& row = rows.emplace_back();
            for (int c = 0; c < columns; ++c) {
                if (PQgetisnull(result, r, c))
                    row.emplace_back(std::nullopt);
                else
                    row.emplace_back(std::string(PQgetvalue(result, r, c),
                                                 static_cast<std::size_t>(PQgetlength(result, r, c))));
            }
        }
        return rows;
    }

    [[noreturn]] void Lost(const char* what) {
        broken_ = true;
        throw DatabaseUnavailable(std::string("database: ") + what + ": " +
                                  OneLine(PQerrorMessage(connection_)));
    }

    // Sends the queued statements together (libpq's pipeline mode): one round trip. Statements with
    // parameters are prepared once per connection, the first time within the pipeline. Answers the
    // last statement's rows; throws what the first failing one threw.
    SqlRows RunQueued() {
        std::vector<SqlStatement> statements;
        statements.swap(queued_);
        if (PQenterPipelineMode(connection_) != 1)
            Lost("pipeline");
        // For each result to come: the text and name of a statement being prepared, or nothing for
        // a statement run.
        std::vector<std::pair<std::string, std::string>> expected;
        std::unordered_map<std::string, std::string> preparing;
        for (const SqlStatement& statement : statements) {
            const TextValues values(statement.parameters);
            int sent = 0;
            if (statement.parameters.empty()) {
                sent = PQsendQueryParams(connection_, statement.sql.c_str(), 0, nullptr, nullptr, nullptr,
                                         nullptr, 0);
            } else {
                std::string name;
                if (const auto found = prepared_.find(statement.sql); found != prepared_.end()) {
                    name = found->second;
                } else if (const auto pending = preparing.find(statement.sql); pending != preparing.end()) {
                    name = pending->second;
                } else {
                    name = "s" + std::to_string(prepared_.size() + preparing.size());
                    if (PQsendPrepare(connection_, name.c_str(), statement.sql.c_str(), values.Count(),
                                      nullptr) != 1)
                        Lost("pipeline");
                    preparing.emplace(statement.sql, name);
                    expected.emplace_back(statement.sql, name);
                }
                sent = PQsendQueryPrepared(connection_, name.c_str(), values.Count(), values.Pointers(),
                                           nullptr, nullptr, 0);
            }
            if (sent != 1)
                Lost("pipeline");
            expected.emplace_back();
        }
        if (PQpipelineSync(connection_) != 1)
            Lost("pipeline");
        return ReadPipeline(expected);
    }

    SqlRows ReadPipeline(const std::vector<std::pair<std::string, std::string>>& expected) {
        std::exception_ptr failure;
        SqlRows rows;
        std::size_t next = 0;
        bool separated = true; // a command's results end with a null result
        for (;;) {
            const Result result(PQgetResult(connection_));
            if (!result) {
                if (separated)
                    Lost("pipeline"); // two in a row: the connection has nothing more to say
                separated = true;
                continue;
            }
            separated = false;
            const ExecStatusType status = PQresultStatus(result.get());
            if (status == PGRES_PIPELINE_SYNC)
                break;
            if (next >= expected.size())
                Lost("pipeline");
            const auto& [sql, name] = expected[next++];
            if (status == PGRES_PIPELINE_ABORTED)
                continue;
            try {
                Check(result.get(), sql.empty() ? "run" : "prepare");
                if (!sql.empty())
                    prepared_.emplace(sql, name);
                else if (next == expected.size())
                    rows = Rows(result.get());
            } catch (const DatabaseUnavailable&) {
                throw; // the connection is of no more use
            } catch (...) {
                if (!failure)
                    failure = std::current_exception();
            }
        }
        if (next != expected.size() || PQexitPipelineMode(connection_) != 1)
            Lost("pipeline");
        if (failure)
            std::rethrow_exception(failure);
        return rows;
    }

    const std::string& Prepared(const std::string& sql, int parameterCount) {
        const auto found = prepared_.find(sql);
        if (found != prepared_.end())
            return found->second;
        std::string name = "s" + std::to_string(prepared_.size());
        const Result result(PQprepare(connection_, name.c_str(), sql.c_str(), parameterCount, nullptr));
        Check(result.get(), "prepare");
        return prepared_.emplace(sql, std::move(name)).first->second;
    }

    void Check(PGresult* result, const char* what) {
        const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
            return;
        const char* field = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
        const std::string state = field ? field : "";
        const char* said = result ? PQresultErrorMessage(result) : "";
        const std::string message = std::string("database: ") + what + ": " +
                                    OneLine(said && *said ? said : PQerrorMessage(connection_));
        if (PQstatus(connection_) != CONNECTION_OK || state.empty() || IsUnavailableState(state)) {
            broken_ = true;
            throw DatabaseUnavailable(message);
        }
        if (state == "40001" || state == "40P01")
            throw TransactionConflict(message);
        throw DatabaseError(message);
    }

    PGconn* connection_ = nullptr;
    bool broken_ = false;
    std::unordered_map<std::string, std::string> prepared_; // statement text -> its name
    std::vector<SqlStatement> queued_;                      // to go out with the next statement
};

// A borrowed connection, given back (or dropped when broken) when the lease ends.
class PostgresDatabase::Lease {
public:
    explicit Lease(PostgresDatabase& owner) : owner_(owner), connection_(owner.Borrow()) {}
    ~Lease() { owner_.GiveBack(std::move(connection_)); }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    Connection& operator*() { return *connection_; }
    Connection* operator->() { return connection_.get(); }

private:
    PostgresDatabase& owner_;
    std::unique_ptr<Connection> connection_;
};

PostgresDatabase::PostgresDatabase(std::string uri, int connections)
    : uri_(std::move(uri)), described_(WithoutPassword(uri_)),
      most_(static_cast<std::size_t>(std::max(connections, 1))) {
    GiveBack(std::make_unique<Connection>(uri_));
}

PostgresDatabase::~PostgresDatabase() = default;

std::unique_ptr<PostgresDatabase::Connection> PostgresDatabase::Borrow() {
    {
        std::unique_lock lock(mutex_);
        returned_.wait(lock, [this] { return !idle_.empty() || lent_ < most_; });
        ++lent_;
        while (!idle_.empty()) {
            std::unique_ptr<Connection> connection = std::move(idle_.back());
            idle_.pop_back();
            if (connection->StillOpen())
                return connection;
        }
    }
    try {
        return std::make_unique<Connection>(uri_); // outside the lock: connecting may take a while
    } catch (...) {
        GiveBack(nullptr);
        throw;
    }
}

void PostgresDatabase::GiveBack(std::unique_ptr<Connection> connection) {
    {
        const std::lock_guard lock(mutex_);
        if (lent_ > 0)
            --lent_;
        if (connection && !connection->Broken())
            idle_.push_back(std::move(connection));
    }
    returned_.notify_one();
}

void PostgresDatabase::InTransaction(const std::function<void(SqlSession&)>& work) {
    for (int attempt = 1;; ++attempt) {
        Lease connection(*this);
        try {
            connection->Begin();
            work(*connection);
            connection->Commit();
            return;
        } catch (const TransactionConflict&) {
            connection->RollBack();
            if (attempt == kConflictAttempts)
                throw;
        } catch (...) {
            connection->RollBack();
            throw;
        }
    }
}

void PostgresDatabase::InSession(const std::function<void(SqlSession&)>& work) {
    Lease connection(*this);
    try {
        work(*connection);
        connection->Flush();
    } catch (...) {
        connection->RollBack(); // drops what waited to go out
        throw;
    }
}

bool PostgresDatabase::Answers() {
    try {
        return !RunOnce("SELECT 1").empty();
    } catch (const std::runtime_error&) {
        return false;
    }
}

} // namespace qm::server
