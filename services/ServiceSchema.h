#pragma once

#include "services/SqlDatabase.h"

namespace qm::server {

// The services' tables, built by numbered schema changes that each database records in
// schema_migrations (domain, version) as they are applied, so that a server brings any older
// database up to date when it starts. Every change runs in one transaction holding the key
// "schema", so that servers starting together on one PostgreSQL database apply each change once.

// Accounts, sessions, login tokens and failed logins ("accounts").
void MigrateAccounts(SqlDatabase& database);
// Usage statistics files and their counts ("usage").
void MigrateUsage(SqlDatabase& database);

} // namespace qm::server
