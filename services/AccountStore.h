#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <semaphore>
#include <sqlite3.h>
#include <string>

namespace qm::server {

struct NewAccount {
    std::string userName;
    std::string password; // hashed before it is stored; never written anywhere itself
    std::string sourceId;
    std::string email;
};

// The accounts, kept in one SQLite file. User names are unique without regard to ASCII case and
// keep the spelling they were registered with. Passwords are stored only as argon2id hashes
// (libsodium's crypto_pwhash_str). At most `hashSlots` hashes run at once, since each takes
// 64 MiB: further callers wait their turn. Safe to use from several threads.
class AccountStore {
public:
    // Opens or creates the file and its table; throws std::runtime_error when it cannot.
    AccountStore(const std::filesystem::path& file, int hashSlots);
    ~AccountStore();
    AccountStore(const AccountStore&) = delete;
    AccountStore& operator=(const AccountStore&) = delete;

    // False when the name is taken. Throws std::runtime_error on a database failure.
    bool Add(const NewAccount& account);

    // The registered spelling of the name when the password is right; nullopt for an unknown name
    // or a wrong password. An unknown name is checked against a stand-in hash, so that it takes
    // as long as a known one.
    std::optional<std::string> Verify(const std::string& userName, const std::string& password);

private:
    struct DatabaseClose {
        void operator()(sqlite3* database) const noexcept { sqlite3_close_v2(database); }
    };

    // Runs a hash function in one of the slots.
    template <typename Hashing> auto InSlot(Hashing hashing);

    std::counting_semaphore<> hashSlots_;
    std::string standInHash_; // of a random password nobody knows, for unknown names
    std::mutex mutex_;        // one statement sequence at a time on the shared connection
    std::unique_ptr<sqlite3, DatabaseClose> database_;
};

} // namespace qm::server
