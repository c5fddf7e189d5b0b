#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace qm::server {

struct MigratedData {
    std::int64_t accounts = 0;
    std::int64_t usageFiles = 0;
    std::int64_t usageCounts = 0;
};

// Copies an SQLite data folder's accounts (with their password hashes, so old passwords go on
// working) and usage statistics into an empty PostgreSQL database, brought to the newest schema
// first, in one transaction: all or nothing. The folder is only read. Sessions and login tokens
// are not copied: users log in again. Throws std::runtime_error (DatabaseError, DatabaseUnavailable)
// saying what is wrong: a missing file, a database that is not empty, a failure.
MigratedData MigrateData(const std::filesystem::path& dataFolder, const std::string& postgresUrl);

} // namespace qm::server
