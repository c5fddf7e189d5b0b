#include "services/AccountStore.h"

#include "services/SessionBook.h"
#include "services/SqliteStatements.h"

#include <chrono>
#include <sodium.h>
#include <stdexcept>

namespace qm::server {

namespace {

// Argon2id at libsodium's interactive cost: about a tenth of a second and 64 MiB per hash.
constexpr unsigned long long kHashOps = crypto_pwhash_OPSLIMIT_INTERACTIVE;
constexpr std::size_t kHashMemory = crypto_pwhash_MEMLIMIT_INTERACTIVE;

constexpr const char* kSchema = "CREATE TABLE IF NOT EXISTS accounts ("
                                " name TEXT NOT NULL UNIQUE COLLATE NOCASE,"
                                " password_hash TEXT NOT NULL,"
                                " source_id TEXT NOT NULL,"
                                " email TEXT NOT NULL,"
                                " created_at INTEGER NOT NULL)";

void InitSodiumOnce() {
    if (sodium_init() < 0)
        throw std::runtime_error("libsodium cannot start");
}

std::string HashPassword(const std::string& password) {
    char hash[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(hash, password.data(), password.size(), kHashOps, kHashMemory) != 0)
        throw std::runtime_error("out of memory while hashing a password");
    return hash;
}

} // namespace

template <typename Hashing> auto AccountStore::InSlot(Hashing hashing) {
    hashSlots_.acquire();
    struct Release {
        std::counting_semaphore<>& slots;
        ~Release() { slots.release(); }
    } release{hashSlots_};
    return hashing();
}

AccountStore::AccountStore(const std::filesystem::path& file, int hashSlots) : hashSlots_(hashSlots) {
    InitSodiumOnce();
    standInHash_ = HashPassword(RandomSecret());
    sqlite3* database = nullptr;
    const int opened = sqlite3_open_v2(
        file.c_str(), &database, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    database_.reset(database); // closed even when opening failed
    if (opened != SQLITE_OK)
        Fail(database, "open " + file.string());
    sqlite3_busy_timeout(database, 5000);
    if (sqlite3_exec(database, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK)
        Fail(database, "create table");
}

AccountStore::~AccountStore() = default;

bool AccountStore::Add(const NewAccount& account) {
    // Hashing takes long on purpose: do it before taking the connection.
    const std::string hash = InSlot([&] { return HashPassword(account.password); });
    const auto now =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();

    const std::lock_guard lock(mutex_);
    sqlite3* database = database_.get();
    const Statement insert = Prepare(database, "INSERT INTO accounts (name, password_hash, source_id, email, "
                                               "created_at) VALUES (?, ?, ?, ?, ?)");
    BindText(database, insert.get(), 1, account.userName);
    BindText(database, insert.get(), 2, hash);
    BindText(database, insert.get(), 3, account.sourceId);
    BindText(database, insert.get(), 4, account.email);
    sqlite3_bind_int64(insert.get(), 5, now);
    const int result = sqlite3_step(insert.get());
    if (result == SQLITE_DONE)
        return true;
    if (sqlite3_extended_errcode(database) == SQLITE_CONSTRAINT_UNIQUE)
        return false;
    Fail(database, "insert");
}

std::optional<std::string> AccountStore::Verify(const std::string& userName, const std::string& password) {
    std::string name;
    std::string hash;
    {
        const std::lock_guard lock(mutex_);
        sqlite3* database = database_.get();
        const Statement select = Prepare(database, "SELECT name, password_hash FROM accounts WHERE name = ?");
        BindText(database, select.get(), 1, userName);
        const int result = sqlite3_step(select.get());
        if (result == SQLITE_ROW) {
            name = ColumnText(select.get(), 0);
            hash = ColumnText(select.get(), 1);
        } else if (result != SQLITE_DONE) {
            Fail(database, "select");
        }
    }
    const bool known = !hash.empty();
    const bool matches = InSlot([&] {
        return crypto_pwhash_str_verify(known ? hash.c_str() : standInHash_.c_str(), password.data(),
                                        password.size()) == 0;
    });
    if (!known || !matches)
        return std::nullopt;
    return name;
}

} // namespace qm::server
