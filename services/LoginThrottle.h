#pragma once

#include "services/SqlDatabase.h"

#include <atomic>
#include <chrono>
#include <string>

namespace qm::server {

// Counts failed logins per user name and per client address within a sliding window, so that
// guessing passwords costs the guesser time and the server no hashing. The failures are kept in
// the accounts database, so that attempts spread over several servers sharing it count together.
// An attempt counts as failed from the moment it begins, so that a burst of simultaneous
// attempts is held to the limit too; a success takes it back and clears the name's count. Safe to
// use from several threads. Database failures raise DatabaseUnavailable or DatabaseError.
class LoginThrottle {
public:
    // The database must have been migrated (MigrateAccounts).
    LoginThrottle(SqlDatabase& database, int nameFailures, int addressFailures, std::chrono::seconds window)
        : database_(database), nameFailures_(nameFailures), addressFailures_(addressFailures),
          windowMs_(std::chrono::duration_cast<std::chrono::milliseconds>(window).count()) {}

    // The outcome of asking to try a password.
    struct Attempt {
        bool allowed = false;
        std::chrono::seconds retryAfter{0}; // when refused: until the oldest counted failure leaves
        std::string id;                     // when allowed: names its counted failure
    };

    // Allows an attempt for the name (compared without regard to ASCII case) from the address and
    // counts it as failed, or refuses it when either has failed too often within the window.
    Attempt Begin(const std::string& userName, const std::string& address);
    // Takes the allowed attempt back from the address's count and clears the name's.
    void Succeeded(const std::string& userName, const std::string& address, const Attempt& attempt);

private:
    // The wait until one more failure of `subject` fits, or zero; prunes what left the window.
    std::chrono::seconds WaitFor(SqlSession& session, const std::string& subject, int most, std::int64_t now);
    // Deletes every failure that has left the window, at most once a minute per server.
    void SweepNowAndThen(std::int64_t now);

    SqlDatabase& database_;
    const int nameFailures_;
    const int addressFailures_;
    const std::int64_t windowMs_;
    std::atomic<std::int64_t> nextSweep_{0};
};

} // namespace qm::server
