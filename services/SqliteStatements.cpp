#include "services/SqliteStatements.h"

#include <stdexcept>

namespace qm::server {

void Fail(sqlite3* database, const std::string& what) {
    const char* file = sqlite3_db_filename(database, "main");
    throw std::runtime_error(std::string("database ") + (file ? file : "") + ": " + what + ": " +
                             sqlite3_errmsg(database));
}

Statement Prepare(sqlite3* database, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(database, sql, -1, &statement, nullptr) != SQLITE_OK)
        Fail(database, "prepare");
    return Statement(statement);
}

void BindText(sqlite3* database, sqlite3_stmt* statement, int index, const std::string& text) {
    if (sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) !=
        SQLITE_OK)
        Fail(database, "bind");
}

std::string ColumnText(sqlite3_stmt* statement, int column) {
    const unsigned char* text = sqlite3_column_text(statement, column);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
                : std::string();
}

} // namespace qm::server
