#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace qm::server {

// Who is logged in to the account service, and the login tokens handed out to them. Kept in
// memory for the server's lifetime: a restart logs everybody out. A session unused for
// `sessionIdle` is closed. Sessions and tokens are 32 random bytes written as 64 lower-case hex
// digits. Safe to use from several threads.
class SessionBook {
public:
    SessionBook(std::chrono::seconds tokenLifetime, std::chrono::seconds sessionIdle)
        : tokenLifetime_(tokenLifetime), sessionIdle_(sessionIdle) {}

    // A new session secret for the user (the registered spelling of the name).
    std::string OpenSession(const std::string& userName);
    // The user a session belongs to, which counts as a use of it; nullopt for an unknown or
    // expired one.
    std::optional<std::string> SessionUser(const std::string& session);

    // A new token for the user, valid for TokenLifetime() from now.
    std::string IssueToken(const std::string& userName);
    // True when the token exists, has not expired and belongs to the user (name compared without
    // regard to ASCII case).
    bool TokenValidFor(const std::string& token, const std::string& userName) const;
    // The user of a valid token, which is used up by this: a token logs a browser in once.
    std::optional<std::string> RedeemToken(const std::string& token);

    std::chrono::seconds TokenLifetime() const { return tokenLifetime_; }

private:
    using Clock = std::chrono::steady_clock;
    struct IssuedToken {
        std::string userName;
        Clock::time_point expires;
    };

    struct OpenedSession {
        std::string userName;
        Clock::time_point lastUse;
    };

    void DropExpiredTokens(Clock::time_point now);
    void DropIdleSessions(Clock::time_point now);

    const std::chrono::seconds tokenLifetime_;
    const std::chrono::seconds sessionIdle_;
    mutable std::mutex mutex_;
    std::unordered_map<std::string, OpenedSession> sessions_; // by secret
    std::unordered_map<std::string, IssuedToken> tokens_;
};

// 32 bytes from the system's secure random source, as 64 lower-case hex digits.
std::string RandomSecret();

} // namespace qm::server
