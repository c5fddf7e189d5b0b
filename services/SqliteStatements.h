#pragma once

#include <memory>
#include <sqlite3.h>
#include <string>

// The few SQLite steps the reference server's stores share. Errors raise std::runtime_error naming
// the database file, the step and SQLite's message.
namespace qm::server {

struct StatementFinalize {
    void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalize>;

[[noreturn]] void Fail(sqlite3* database, const std::string& what);
Statement Prepare(sqlite3* database, const char* sql);
void BindText(sqlite3* database, sqlite3_stmt* statement, int index, const std::string& text);
std::string ColumnText(sqlite3_stmt* statement, int column);

} // namespace qm::server
