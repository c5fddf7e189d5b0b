#include "services/PostgresDatabase.h"

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

    SqlRows Run(const std::string& sql, const std::vector<SqlValue>& parameters) override {
        const std::string& name = Prepared(sql, static_cast<int>(parameters.size()));
        std::vector<std::string> texts(parameters.size());
        std::vector<const char*> values(parameters.size(), nullptr);
        for (std::size_t i = 0; i < parameters.size(); ++i) {
            if (const auto* text = std::get_if<std::string>(&parameters[i]))
                texts[i] = *text;
            else if (const auto* number = std::get_if<std::int64_t>(&parameters[i]))
                texts[i] = std::to_string(*number);
            else
                continue;
            values[i] = texts[i].c_str();
        }
        const Result result(PQexecPrepared(connection_, name.c_str(), static_cast<int>(values.size()),
                                           values.data(), nullptr, nullptr, 0));
        Check(result.get(), "run");
        SqlRows rows;
        const int rowCount = PQntuples(result.get());
        const int columns = PQnfields(result.get());
        rows.reserve(static_cast<std::size_t>(rowCount));
        for (int r = 0; r < rowCount; ++r) {
            SqlRow& row = rows.emplace_back();
            for (int c = 0; c < columns; ++c) {
                if (PQgetisnull(result.get(), r, c))
                    row.emplace_back(std::nullopt);
                else
                    row.emplace_back(std::string(PQgetvalue(result.get(), r, c),
                                                 static_cast<std::size_t>(PQgetlength(result.get(), r, c))));
            }
        }
        return rows;
    }

    void RunScript(const std::string& sql) override {
        const Result result(PQexec(connection_, sql.c_str()));
        Check(result.get(), "run script");
    }

    void LockKey(const std::string& key) override {
        Run("SELECT pg_advisory_xact_lock(hashtext($1))", {key});
    }

    // Ends a transaction that failed; a connection that cannot is not used again.
    void RollBack() noexcept {
        if (Broken())
            return;
        const Result result(PQexec(connection_, "ROLLBACK"));
        if (!result || PQresultStatus(result.get()) != PGRES_COMMAND_OK)
            broken_ = true;
    }

private:
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
        const std::string message =
            std::string("database: ") + what + ": " + OneLine(PQerrorMessage(connection_));
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
            connection->RunScript("BEGIN");
            work(*connection);
            connection->RunScript("COMMIT");
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
    work(*connection);
}

bool PostgresDatabase::Answers() {
    try {
        return !RunOnce("SELECT 1").empty();
    } catch (const std::runtime_error&) {
        return false;
    }
}

} // namespace qm::server
