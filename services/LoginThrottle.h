#pragma once

#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

namespace qm::server {

// Counts failed logins per user name and per client address within a sliding window, so that
// guessing passwords costs the guesser time and the server no hashing. An attempt counts as failed
// from the moment it begins, so that a burst of simultaneous attempts is held to the limit too;
// a success takes it back and clears the name's count. Safe to use from several threads.
class LoginThrottle {
public:
    using Clock = std::chrono::steady_clock;

    LoginThrottle(int nameFailures, int addressFailures, std::chrono::seconds window)
        : nameFailures_(static_cast<std::size_t>(nameFailures)),
          addressFailures_(static_cast<std::size_t>(addressFailures)), window_(window) {}

    // The outcome of asking to try a password.
    struct Attempt {
        bool allowed = false;
        std::chrono::seconds retryAfter{0}; // when refused: until the oldest counted failure leaves
        Clock::time_point began;
    };

    // Allows an attempt for the name (compared without regard to ASCII case) from the address and
    // counts it as failed, or refuses it when either has failed too often within the window.
    Attempt Begin(const std::string& userName, const std::string& address);
    // Takes the allowed attempt back from the address's count and clears the name's.
    void Succeeded(const std::string& userName, const std::string& address, const Attempt& attempt);

private:
    using Failures = std::deque<Clock::time_point>;
    // Drops the failures older than the window.
    void Prune(Failures& failures, Clock::time_point now) const;
    // Prunes; the wait until one more is allowed, or zero.
    std::chrono::seconds WaitFor(Failures& failures, std::size_t most, Clock::time_point now) const;
    // Forgets names and addresses whose failures have all left the window, once the tables grow.
    void SweepWhenLarge(Clock::time_point now);

    const std::size_t nameFailures_;
    const std::size_t addressFailures_;
    const std::chrono::seconds window_;
    std::mutex mutex_;
    std::unordered_map<std::string, Failures> byName_;
    std::unordered_map<std::string, Failures> byAddress_;
    std::size_t sweepAt_ = 1024;
};

} // namespace qm::server
