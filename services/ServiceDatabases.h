#pragma once

#include "services/SqlDatabase.h"

#include <filesystem>
#include <memory>
#include <string>

namespace qm::server {

// Where the account and logging services keep their state.
struct DatabaseChoice {
    std::string url = "sqlite:"; // "sqlite:" (files in the data folder) or a postgresql:// address
    int connections = 8;         // PostgreSQL: the most connections one server opens
};

// The accounts database and the usage database, migrated to the newest schema. With SQLite they
// are accounts.sqlite and usage.sqlite in the data folder; with PostgreSQL one database holds
// both.
struct ServiceDatabases {
    std::shared_ptr<SqlDatabase> accounts;
    std::shared_ptr<SqlDatabase> usage;
};

// True for an address naming a PostgreSQL database ("postgresql://" or "postgres://").
bool IsPostgresUrl(const std::string& url);

// Opens and migrates both databases; with SQLite, `dataFolder` must be given. Throws
// DatabaseUnavailable or DatabaseError when they cannot be opened or brought up to date.
ServiceDatabases OpenServiceDatabases(const DatabaseChoice& choice, const std::filesystem::path& dataFolder);

} // namespace qm::server
