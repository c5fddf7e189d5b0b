#include "services/ServiceSchema.h"

#include <chrono>
#include <set>
#include <span>

namespace qm::server {

namespace {

// One schema change. Where the two dialects differ, `postgres` holds PostgreSQL's text; null means
// the same text as SQLite's.
struct Migration {
    int version;
    const char* sqlite;
    const char* postgres = nullptr;
};

// Version 1 is the layout of data folders made before versioned changes; IF NOT EXISTS adopts
// them as they are. (Their SQLite table may also keep its old UNIQUE COLLATE NOCASE on name.)
const Migration kAccountMigrations[] = {
    {1, "CREATE TABLE IF NOT EXISTS accounts ("
        " name TEXT NOT NULL,"
        " password_hash TEXT NOT NULL,"
        " source_id TEXT NOT NULL,"
        " email TEXT NOT NULL,"
        " created_at BIGINT NOT NULL)"},
    // Names are unique without regard to ASCII case, the same way on both back ends: the folded
    // name is kept beside the registered spelling (lower() folds ASCII only in SQLite; a
    // PostgreSQL database is new and empty at this version).
    {2, "ALTER TABLE accounts ADD COLUMN name_key TEXT;"
        "UPDATE accounts SET name_key = lower(name);"
        "CREATE UNIQUE INDEX accounts_name_key ON accounts (name_key)"},
    // What one server kept in memory before, so that every server sharing the database knows it.
    // Secrets are kept only as their hashes.
    {3, "CREATE TABLE sessions ("
        " secret_hash TEXT PRIMARY KEY,"
        " user_name TEXT NOT NULL,"
        " last_use BIGINT NOT NULL);"
        "CREATE INDEX sessions_last_use ON sessions (last_use);"
        "CREATE TABLE login_tokens ("
        " token_hash TEXT PRIMARY KEY,"
        " user_name TEXT NOT NULL,"
        " expires_at BIGINT NOT NULL);"
        "CREATE INDEX login_tokens_expires_at ON login_tokens (expires_at);"
        "CREATE TABLE login_failures ("
        " subject TEXT NOT NULL,"
        " attempt TEXT NOT NULL,"
        " at_ms BIGINT NOT NULL);"
        "CREATE INDEX login_failures_subject ON login_failures (subject, at_ms);"
        "CREATE INDEX login_failures_at ON login_failures (at_ms)"},
};

// "user" is a reserved word in PostgreSQL: quoted, which SQLite reads the same.
const Migration kUsageMigrations[] = {
    {1, "CREATE TABLE IF NOT EXISTS usage_files ("
        " id TEXT PRIMARY KEY,"
        " received_at BIGINT NOT NULL,"
        " body TEXT NOT NULL);"
        "CREATE TABLE IF NOT EXISTS usage_counts ("
        " file_id TEXT NOT NULL,"
        " product_id TEXT NOT NULL,"
        " product_ver TEXT NOT NULL,"
        " registration_number TEXT NOT NULL,"
        " \"user\" TEXT NOT NULL,"
        " day TEXT NOT NULL,"
        " function_key TEXT NOT NULL,"
        " count BIGINT NOT NULL);"
        "CREATE INDEX IF NOT EXISTS usage_counts_file ON usage_counts (file_id)"},
};

void Migrate(SqlDatabase& database, const std::string& domain, std::span<const Migration> migrations) {
    database.InTransaction([&](SqlSession& session) {
        session.LockKey("schema");
        session.RunScript("CREATE TABLE IF NOT EXISTS schema_migrations ("
                          " domain TEXT NOT NULL,"
                          " version INTEGER NOT NULL,"
                          " applied_at BIGINT NOT NULL,"
                          " PRIMARY KEY (domain, version))");
        std::set<std::int64_t> applied;
        for (const SqlRow& row :
             session.Run("SELECT version FROM schema_migrations WHERE domain = $1", {domain}))
            applied.insert(AsNumber(row.at(0)));
        const int newest = migrations.back().version;
        const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                                     std::chrono::system_clock::now().time_since_epoch())
                                     .count();
        if (!applied.empty() && *applied.rbegin() > newest)
            throw DatabaseError("database " + database.Describe() + ": its " + domain +
                                " schema is version " + std::to_string(*applied.rbegin()) +
                                ", newer than this server knows (" + std::to_string(newest) + ")");
        for (const Migration& migration : migrations) {
            if (applied.count(migration.version))
                continue;
            const bool postgres = database.Kind() == SqlDatabase::Dialect::Postgres && migration.postgres;
            session.RunScript(postgres ? migration.postgres : migration.sqlite);
            session.Run("INSERT INTO schema_migrations (domain, version, applied_at) "
                        "VALUES ($1, $2, $3)",
                        {domain, std::int64_t{migration.version}, now});
        }
    });
}

} // namespace

void MigrateAccounts(SqlDatabase& database) {
    Migrate(database, "accounts", kAccountMigrations);
}

void MigrateUsage(SqlDatabase& database) {
    Migrate(database, "usage", kUsageMigrations);
}

} // namespace qm::server
