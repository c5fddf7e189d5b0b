#include "services/UsageStore.h"

#include "services/WallClock.h"

#include <algorithm>

namespace qm::server {

namespace {

// Rows go in with one statement per batch of them, which saves a round trip per row; a batch
// stays well below both back ends' limits on parameters (32766 and 65535).
constexpr std::size_t kCountsPerStatement = 200;
constexpr std::size_t kCountColumns = 8;

// "$first, $first+1, ..." for `count` parameters.
std::string Parameters(std::size_t first, std::size_t count) {
    std::string list;
    for (std::size_t i = 0; i < count; ++i)
        list += (i ? ", $" : "$") + std::to_string(first + i);
    return list;
}

// "(...), (...)" for `rows` rows of `columns` parameters each.
std::string ValueRows(std::size_t rows, std::size_t columns) {
    std::string values;
    for (std::size_t row = 0; row < rows; ++row)
        values += (row ? ", (" : "(") + Parameters(row * columns + 1, columns) + ")";
    return values;
}

void InsertCounts(std::vector<SqlStatement>& statements, const std::vector<const UsageStore::File*>& files) {
    std::vector<SqlValue> values;
    const auto flush = [&] {
        if (!values.empty())
            statements.push_back(
                {"INSERT INTO usage_counts (file_id, product_id, product_ver, registration_number, "
                 "\"user\", day, function_key, count) VALUES " +
                     ValueRows(values.size() / kCountColumns, kCountColumns),
                 std::move(values)});
        values.clear();
    };
    for (const UsageStore::File* file : files) {
        for (const UsageCount& count : file->counts) {
            values.insert(values.end(),
                          {file->id, count.productId, count.productVer, count.registrationNumber, count.user,
                           count.day, count.functionKey, count.count});
            if (values.size() == kCountsPerStatement * kCountColumns)
                flush();
        }
    }
    flush();
}

// The files to write: of an identifier given twice only the later file, since storing it replaces
// the earlier one.
std::vector<const UsageStore::File*> LastOfEachId(const std::vector<const UsageStore::File*>& files) {
    std::vector<const UsageStore::File*> kept;
    for (auto file = files.rbegin(); file != files.rend(); ++file) {
        if (std::none_of(kept.begin(), kept.end(),
                         [&](const UsageStore::File* later) { return later->id == (*file)->id; }))
            kept.push_back(*file);
    }
    std::reverse(kept.begin(), kept.end());
    return kept;
}

} // namespace

void UsageStore::Store(const std::vector<const File*>& given, const std::function<void()>& beforeCommit) {
    const std::vector<const File*> files = LastOfEachId(given);
    if (files.empty())
        return;
    const std::int64_t now = WallMilliseconds() / 1000;
    std::vector<std::string> keys;
    std::vector<SqlValue> rows;
    std::vector<SqlValue> ids;
    for (const File* file : files) {
        keys.push_back("usage:" + file->id);
        rows.insert(rows.end(), {file->id, now, file->text});
        ids.emplace_back(file->id);
    }
    std::vector<SqlStatement> statements{
        {"INSERT INTO usage_files (id, received_at, body) VALUES " + ValueRows(files.size(), 3) +
             " ON CONFLICT (id) DO UPDATE SET received_at = excluded.received_at, body = excluded.body",
         std::move(rows)},
        {"DELETE FROM usage_counts WHERE file_id IN (" + Parameters(1, ids.size()) + ")", std::move(ids)}};
    InsertCounts(statements, files);
    database_.InTransaction([&](SqlSession& session) {
        // Held until the commit: a second store of the same file, on any server, starts only then
        // and so sees (and deletes) the counts of the first.
        session.LockKeys(keys);
        session.RunAll(statements);
        if (beforeCommit)
            beforeCommit();
    });
}

UsageStore::Summary UsageStore::Summarise() {
    Summary summary;
    database_.InSession([&](SqlSession& session) {
        summary.files = AsNumber(session.Run("SELECT COUNT(*) FROM usage_files").at(0).at(0));
        const SqlRows totals = session.Run("SELECT \"user\", day, function_key, SUM(count) FROM usage_counts "
                                           "GROUP BY \"user\", day, function_key "
                                           "ORDER BY \"user\", day, function_key");
        for (const SqlRow& row : totals) {
            Total total{AsText(row.at(0)), AsText(row.at(1)), AsText(row.at(2)), AsNumber(row.at(3))};
            summary.total += total.count;
            summary.counts.push_back(std::move(total));
        }
    });
    return summary;
}

} // namespace qm::server
