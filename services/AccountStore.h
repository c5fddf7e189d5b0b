#pragma once

#include "services/SqlDatabase.h"

#include <optional>
#include <semaphore>
#include <string>

namespace qm::server {

struct NewAccount {
    std::string userName;
    std::string password; // hashed before it is stored; never written anywhere itself
    std::string sourceId;
    std::string email;
};

// The accounts, in the accounts database. User names are unique without regard to ASCII case and
// keep the spelling they were registered with. Passwords are stored only as argon2id hashes
// (libsodium's crypto_pwhash_str). At most `hashSlots` hashes run at once, since each takes
// 64 MiB: further callers wait their turn. Safe to use from several threads.
class AccountStore {
public:
    // The database must have been migrated (MigrateAccounts).
    AccountStore(SqlDatabase& database, int hashSlots);

    // False when the name is taken. Throws DatabaseUnavailable or DatabaseError on a failure.
    bool Add(const NewAccount& account);

    // The registered spelling of the name when the password is right; nullopt for an unknown name
    // or a wrong password. An unknown name is checked against a stand-in hash, so that it takes
    // as long as a known one.
    std::optional<std::string> Verify(const std::string& userName, const std::string& password);

private:
    // Runs a hash function in one of the slots.
    template <typename Hashing> auto InSlot(Hashing hashing);

    SqlDatabase& database_;
    std::counting_semaphore<> hashSlots_;
    std::string standInHash_; // of a random password nobody knows, for unknown names
};

// The name as the database compares it: ASCII letters in lower case, everything else as it is.
std::string FoldedName(std::string name);

} // namespace qm::server
