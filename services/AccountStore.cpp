#include "services/AccountStore.h"

#include "services/SessionBook.h"
#include "services/WallClock.h"

#include <algorithm>
#include <sodium.h>
#include <stdexcept>

namespace qm::server {

namespace {

// Argon2id at libsodium's interactive cost: about a tenth of a second and 64 MiB per hash.
constexpr unsigned long long kHashOps = crypto_pwhash_OPSLIMIT_INTERACTIVE;
constexpr std::size_t kHashMemory = crypto_pwhash_MEMLIMIT_INTERACTIVE;

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

std::string FoldedName(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return name;
}

template <typename Hashing> auto AccountStore::InSlot(Hashing hashing) {
    hashSlots_.acquire();
    struct Release {
        std::counting_semaphore<>& slots;
        ~Release() { slots.release(); }
    } release{hashSlots_};
    return hashing();
}

AccountStore::AccountStore(SqlDatabase& database, int hashSlots)
    : database_(database), hashSlots_(hashSlots) {
    InitSodiumOnce();
    standInHash_ = HashPassword(RandomSecret());
}

bool AccountStore::Add(const NewAccount& account) {
    // Hashing takes long on purpose: do it before taking a connection.
    const std::string hash = InSlot([&] { return HashPassword(account.password); });
    const SqlRows added = database_.RunOnce(
        "INSERT INTO accounts (name, name_key, password_hash, source_id, email, created_at) "
        "VALUES ($1, $2, $3, $4, $5, $6) ON CONFLICT DO NOTHING RETURNING name",
        {account.userName, FoldedName(account.userName), hash, account.sourceId, account.email,
         WallMilliseconds() / 1000});
    return !added.empty();
}

std::optional<std::string> AccountStore::Verify(const std::string& userName, const std::string& password) {
    std::string name;
    std::string hash;
    const SqlRows found = database_.RunOnce("SELECT name, password_hash FROM accounts WHERE name_key = $1",
                                            {FoldedName(userName)});
    if (!found.empty()) {
        name = AsText(found[0].at(0));
        hash = AsText(found[0].at(1));
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
