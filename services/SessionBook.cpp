#include "services/SessionBook.h"

#include <algorithm>
#include <sodium.h>
#include <stdexcept>

namespace qm::server {

namespace {

char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameNameNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return FoldAscii(x) == FoldAscii(y); });
}

} // namespace

std::string RandomSecret() {
    if (sodium_init() < 0)
        throw std::runtime_error("libsodium cannot start");
    unsigned char bytes[32];
    randombytes_buf(bytes, sizeof bytes);
    char hex[sizeof bytes * 2 + 1];
    sodium_bin2hex(hex, sizeof hex, bytes, sizeof bytes);
    return hex;
}

std::string SessionBook::OpenSession(const std::string& userName) {
    std::string secret = RandomSecret();
    const auto now = Clock::now();
    const std::lock_guard lock(mutex_);
    DropIdleSessions(now);
    sessions_[secret] = {userName, now};
    return secret;
}

std::optional<std::string> SessionBook::SessionUser(const std::string& session) {
    const auto now = Clock::now();
    const std::lock_guard lock(mutex_);
    const auto found = sessions_.find(session);
    if (found == sessions_.end())
        return std::nullopt;
    if (now - found->second.lastUse >= sessionIdle_) {
        sessions_.erase(found);
        return std::nullopt;
    }
    found->second.lastUse = now;
    return found->second.userName;
}

std::string SessionBook::IssueToken(const std::string& userName) {
    std::string token = RandomSecret();
    const auto now = Clock::now();
    const std::lock_guard lock(mutex_);
    DropExpiredTokens(now);
    tokens_[token] = {userName, now + tokenLifetime_};
    return token;
}

bool SessionBook::TokenValidFor(const std::string& token, const std::string& userName) const {
    const std::lock_guard lock(mutex_);
    const auto found = tokens_.find(token);
    return found != tokens_.end() && Clock::now() < found->second.expires &&
           SameNameNoCase(found->second.userName, userName);
}

std::optional<std::string> SessionBook::RedeemToken(const std::string& token) {
    const std::lock_guard lock(mutex_);
    const auto found = tokens_.find(token);
    if (found == tokens_.end())
        return std::nullopt;
    IssuedToken issued = std::move(found->second);
    tokens_.erase(found);
    if (Clock::now() >= issued.expires)
        return std::nullopt;
    return issued.userName;
}

void SessionBook::DropIdleSessions(Clock::time_point now) {
    std::erase_if(sessions_, [&](const auto& entry) { return now - entry.second.lastUse >= sessionIdle_; });
}

void SessionBook::DropExpiredTokens(Clock::time_point now) {
    std::erase_if(tokens_, [now](const auto& entry) { return entry.second.expires <= now; });
}

} // namespace qm::server
