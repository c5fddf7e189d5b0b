#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
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
// (libsodium's crypto_pwhash_str). Safe to use from several threads.
class AccountStore {
public:
    // Opens or creates the file and its table; throws std::runtime_error when it cannot.
    explicit AccountStore(const std::filesystem::path& file);
    ~AccountStore();
    AccountStore(const AccountStore&) = delete;
    AccountStore& operator=(const AccountStore&) = delete;

    // False when the name is taken. Throws std::runtime_error on a database failure.
    bool Add(const NewAccount& account);

    // The registered spelling of the name when the password is right; nullopt for an unknown name
    // or a wrong password.
    std::optional<std::string> Verify(const std::string& userName, const std::string& password);

private:
    struct DatabaseClose {
        void operator()(sqlite3* database) const noexcept { sqlite3_close_v2(database); }
    };

    std::mutex mutex_; // one statement sequence at a time on the shared connection
    std::unique_ptr<sqlite3, DatabaseClose> database_;
};

} // namespace qm::server
