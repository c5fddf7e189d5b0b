#pragma once

#include "services/SqlDatabase.h"

#include <atomic>
#include <chrono>
#include <optional>
#include <string>

namespace qm::server {

// Who is logged in to the account service, and the login tokens handed out to them, kept in the
// accounts database so that every server sharing it knows them: a session opened on one server
// makes tokens on another, and a token is taken once, by whichever server sees it first. A
// session unused for `sessionIdle` is closed. Sessions and tokens are 32 random bytes written as
// 64 lower-case hex digits; the database holds only their hashes. Safe to use from several
// threads. Database failures raise DatabaseUnavailable or DatabaseError.
class SessionBook {
public:
    // The database must have been migrated (MigrateAccounts).
    SessionBook(SqlDatabase& database, std::chrono::seconds tokenLifetime, std::chrono::seconds sessionIdle)
        : database_(database), tokenLifetime_(tokenLifetime), sessionIdle_(sessionIdle) {}

    // A new session secret for the user (the registered spelling of the name).
    std::string OpenSession(const std::string& userName);
    // The user a session belongs to, which counts as a use of it; nullopt for an unknown or
    // expired one.
    std::optional<std::string> SessionUser(const std::string& session);

    // A new token for the user, valid for TokenLifetime() from now.
    std::string IssueToken(const std::string& userName);
    // True when the token exists, has not expired and belongs to the user (name compared without
    // regard to ASCII case).
    bool TokenValidFor(const std::string& token, const std::string& userName);
    // The user of a valid token, which is used up by this: a token logs a browser in once.
    std::optional<std::string> RedeemToken(const std::string& token);

    std::chrono::seconds TokenLifetime() const { return tokenLifetime_; }

private:
    // Deletes idle sessions and expired tokens, at most once a minute per server.
    void SweepNowAndThen(std::int64_t now);

    SqlDatabase& database_;
    const std::chrono::seconds tokenLifetime_;
    const std::chrono::seconds sessionIdle_;
    std::atomic<std::int64_t> nextSweep_{0};
};

// 32 bytes from the system's secure random source, as 64 lower-case hex digits.
std::string RandomSecret();

// The hash a secret is kept under (BLAKE2b, 32 bytes, hex): a copy of the database opens no session.
std::string SecretHash(const std::string& secret);

} // namespace qm::server
