#include "services/ServiceDatabases.h"

#include "services/PostgresDatabase.h"
#include "services/ServiceSchema.h"
#include "services/SqliteDatabase.h"

namespace qm::server {

bool IsPostgresUrl(const std::string& url) {
    return url.rfind("postgresql://", 0) == 0 || url.rfind("postgres://", 0) == 0;
}

ServiceDatabases OpenServiceDatabases(const DatabaseChoice& choice, const std::filesystem::path& dataFolder) {
    ServiceDatabases databases;
    if (IsPostgresUrl(choice.url)) {
        const auto shared = std::make_shared<PostgresDatabase>(choice.url, choice.connections);
        databases = {shared, shared};
    } else {
        if (dataFolder.empty())
            throw DatabaseError("an SQLite database needs a data folder (--data DIR)");
        databases = {std::make_shared<SqliteDatabase>(dataFolder / "accounts.sqlite"),
                     std::make_shared<SqliteDatabase>(dataFolder / "usage.sqlite")};
    }
    MigrateAccounts(*databases.accounts);
    MigrateUsage(*databases.usage);
    return databases;
}

} // namespace qm::server
