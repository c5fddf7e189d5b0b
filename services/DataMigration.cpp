#include "services/DataMigration.h"

#include "services/AccountStore.h"
#include "services/ServiceDatabases.h"
#include "services/SqliteDatabase.h"

namespace qm::server {

namespace {

std::unique_ptr<SqliteDatabase> OpenExisting(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        throw DatabaseError(file.string() + " does not exist");
    return std::make_unique<SqliteDatabase>(file);
}

void RefuseUnlessEmpty(SqlSession& target, const char* table) {
    if (AsNumber(target.Run(std::string("SELECT COUNT(*) FROM ") + table).at(0).at(0)) != 0)
        throw DatabaseError(std::string("the PostgreSQL database is not empty: its table ") + table +
                            " has rows; migrate-data copies only into an empty database");
}

std::int64_t CopyAccounts(SqliteDatabase& source, SqlSession& target) {
    // Columns of every schema version: old folders have no name_key, which is made here.
    const SqlRows accounts = source.RunOnce(
        "SELECT name, password_hash, source_id, email, created_at FROM accounts ORDER BY rowid");
    for (const SqlRow& row : accounts) {
        target.Run("INSERT INTO accounts (name, name_key, password_hash, source_id, email, created_at) "
                   "VALUES ($1, $2, $3, $4, $5, $6)",
                   {AsText(row.at(0)), FoldedName(AsText(row.at(0))), AsText(row.at(1)), AsText(row.at(2)),
                    AsText(row.at(3)), AsNumber(row.at(4))});
    }
    return static_cast<std::int64_t>(accounts.size());
}

std::pair<std::int64_t, std::int64_t> CopyUsage(SqliteDatabase& source, SqlSession& target) {
    const SqlRows files = source.RunOnce("SELECT id, received_at, body FROM usage_files ORDER BY id");
    for (const SqlRow& row : files)
        target.Run("INSERT INTO usage_files (id, received_at, body) VALUES ($1, $2, $3)",
                   {AsText(row.at(0)), AsNumber(row.at(1)), AsText(row.at(2))});
    const SqlRows counts =
        source.RunOnce("SELECT file_id, product_id, product_ver, registration_number, "
                       "\"user\", day, function_key, count FROM usage_counts ORDER BY rowid");
    for (const SqlRow& row : counts) {
        target.Run("INSERT INTO usage_counts (file_id, product_id, product_ver, registration_number, "
                   "\"user\", day, function_key, count) VALUES ($1, $2, $3, $4, $5, $6, $7, $8)",
                   {AsText(row.at(0)), AsText(row.at(1)), AsText(row.at(2)), AsText(row.at(3)),
                    AsText(row.at(4)), AsText(row.at(5)), AsText(row.at(6)), AsNumber(row.at(7))});
    }
    return {static_cast<std::int64_t>(files.size()), static_cast<std::int64_t>(counts.size())};
}

} // namespace

MigratedData MigrateData(const std::filesystem::path& dataFolder, const std::string& postgresUrl) {
    if (!IsPostgresUrl(postgresUrl))
        throw DatabaseError("--database must be a postgresql:// address");
    const auto accounts = OpenExisting(dataFolder / "accounts.sqlite");
    const auto usage = OpenExisting(dataFolder / "usage.sqlite");
    const ServiceDatabases target = OpenServiceDatabases({postgresUrl, 1}, {});
    MigratedData copied;
    target.accounts->InTransaction([&](SqlSession& session) {
        for (const char* table : {"accounts", "usage_files", "usage_counts"})
            RefuseUnlessEmpty(session, table);
        copied.accounts = CopyAccounts(*accounts, session);
        std::tie(copied.usageFiles, copied.usageCounts) = CopyUsage(*usage, session);
    });
    return copied;
}

} // namespace qm::server
