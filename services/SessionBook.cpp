#include "services/SessionBook.h"

#include "services/AccountStore.h"
#include "services/WallClock.h"

#include <sodium.h>
#include <stdexcept>

namespace qm::server {

namespace {

constexpr std::int64_t kSweepEveryMs = 60 * 1000;

std::string Hex(const unsigned char* bytes, std::size_t size) {
    std::string hex(size * 2 + 1, '\0');
    sodium_bin2hex(hex.data(), hex.size(), bytes, size);
    hex.pop_back();
    return hex;
}

std::int64_t Milliseconds(std::chrono::seconds seconds) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(seconds).count();
}

} // namespace

std::string RandomSecret() {
    if (sodium_init() < 0)
        throw std::runtime_error("libsodium cannot start");
    unsigned char bytes[32];
    randombytes_buf(bytes, sizeof bytes);
    return Hex(bytes, sizeof bytes);
}

std::string SecretHash(const std::string& secret) {
    unsigned char hash[32];
    crypto_generichash(hash, sizeof hash, reinterpret_cast<const unsigned char*>(secret.data()),
                       secret.size(), nullptr, 0);
    return Hex(hash, sizeof hash);
}

std::string SessionBook::OpenSession(const std::string& userName) {
    std::string secret = RandomSecret();
    const std::int64_t now = WallMilliseconds();
    SweepNowAndThen(now);
    database_.RunOnce("INSERT INTO sessions (secret_hash, user_name, last_use) VALUES ($1, $2, $3)",
                      {SecretHash(secret), userName, now});
    return secret;
}

std::optional<std::string> SessionBook::SessionUser(const std::string& session) {
    if (session.empty())
        return std::nullopt;
    const std::int64_t now = WallMilliseconds();
    const SqlRows used = database_.RunOnce("UPDATE sessions SET last_use = $2 "
                                           "WHERE secret_hash = $1 AND last_use > $3 RETURNING user_name",
                                           {SecretHash(session), now, now - Milliseconds(sessionIdle_)});
    if (used.empty())
        return std::nullopt;
    return AsText(used[0].at(0));
}

std::string SessionBook::IssueToken(const std::string& userName) {
    std::string token = RandomSecret();
    const std::int64_t now = WallMilliseconds();
    SweepNowAndThen(now);
    database_.RunOnce("INSERT INTO login_tokens (token_hash, user_name, expires_at) VALUES ($1, $2, $3)",
                      {SecretHash(token), userName, now + Milliseconds(tokenLifetime_)});
    return token;
}

bool SessionBook::TokenValidFor(const std::string& token, const std::string& userName) {
    if (token.empty())
        return false;
    const SqlRows found =
        database_.RunOnce("SELECT user_name FROM login_tokens WHERE token_hash = $1 AND expires_at > $2",
                          {SecretHash(token), WallMilliseconds()});
    return !found.empty() && FoldedName(AsText(found[0].at(0))) == FoldedName(userName);
}

std::optional<std::string> SessionBook::RedeemToken(const std::string& token) {
    // Deleting is the taking: of several servers redeeming one token at once, one gets the row.
    const SqlRows taken =
        database_.RunOnce("DELETE FROM login_tokens WHERE token_hash = $1 RETURNING user_name, expires_at",
                          {SecretHash(token)});
    if (taken.empty() || AsNumber(taken[0].at(1)) <= WallMilliseconds())
        return std::nullopt;
    return AsText(taken[0].at(0));
}

void SessionBook::SweepNowAndThen(std::int64_t now) {
    std::int64_t due = nextSweep_.load();
    if (now < due || !nextSweep_.compare_exchange_strong(due, now + kSweepEveryMs))
        return;
    database_.InSession([&](SqlSession& session) {
        session.Run("DELETE FROM sessions WHERE last_use <= $1", {now - Milliseconds(sessionIdle_)});
        session.Run("DELETE FROM login_tokens WHERE expires_at <= $1", {now});
    });
}

} // namespace qm::server
