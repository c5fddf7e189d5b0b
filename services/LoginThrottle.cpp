#include "services/LoginThrottle.h"

#include <algorithm>

namespace qm::server {

namespace {

std::string FoldAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return text;
}

} // namespace

void LoginThrottle::Prune(Failures& failures, Clock::time_point now) const {
    while (!failures.empty() && failures.front() + window_ <= now)
        failures.pop_front();
}

std::chrono::seconds LoginThrottle::WaitFor(Failures& failures, std::size_t most,
                                            Clock::time_point now) const {
    Prune(failures, now);
    if (failures.size() < most)
        return std::chrono::seconds(0);
    // The oldest failure that must leave before one more fits.
    const Clock::time_point frees = failures[failures.size() - most] + window_;
    return std::max(std::chrono::ceil<std::chrono::seconds>(frees - now), std::chrono::seconds(1));
}

LoginThrottle::Attempt LoginThrottle::Begin(const std::string& userName, const std::string& address) {
    const auto now = Clock::now();
    const std::lock_guard lock(mutex_);
    SweepWhenLarge(now);
    Failures& name = byName_[FoldAscii(userName)];
    Failures& from = byAddress_[address];
    const auto wait = std::max(WaitFor(name, nameFailures_, now), WaitFor(from, addressFailures_, now));
    if (wait.count() > 0)
        return {false, wait, now};
    name.push_back(now);
    from.push_back(now);
    return {true, std::chrono::seconds(0), now};
}

void LoginThrottle::Succeeded(const std::string& userName, const std::string& address,
                              const Attempt& attempt) {
    const std::lock_guard lock(mutex_);
    byName_.erase(FoldAscii(userName));
    if (const auto found = byAddress_.find(address); found != byAddress_.end()) {
        Failures& from = found->second;
        if (const auto mine = std::find(from.begin(), from.end(), attempt.began); mine != from.end())
            from.erase(mine);
    }
}

void LoginThrottle::SweepWhenLarge(Clock::time_point now) {
    if (byName_.size() + byAddress_.size() < sweepAt_)
        return;
    for (auto* table : {&byName_, &byAddress_}) {
        // Failures are kept in time order: when the newest has left the window, all have.
        std::erase_if(*table, [&](const auto& entry) {
            return entry.second.empty() || entry.second.back() + window_ <= now;
        });
    }
    sweepAt_ = std::max<std::size_t>(1024, 2 * (byName_.size() + byAddress_.size()));
}

} // namespace qm::server
