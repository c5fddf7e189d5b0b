#include "services/LoginThrottle.h"

#include "services/AccountStore.h"
#include "services/SessionBook.h"
#include "services/WallClock.h"

#include <algorithm>

namespace qm::server {

namespace {

constexpr std::int64_t kSweepEveryMs = 60 * 1000;

std::string NameSubject(const std::string& userName) {
    return "name:" + FoldedName(userName);
}

std::string AddressSubject(const std::string& address) {
    return "address:" + address;
}

} // namespace

std::chrono::seconds LoginThrottle::WaitFor(SqlSession& session, const std::string& subject, int most,
                                            std::int64_t now) {
    session.Run("DELETE FROM login_failures WHERE subject = $1 AND at_ms <= $2", {subject, now - windowMs_});
    const SqlRows failures =
        session.Run("SELECT at_ms FROM login_failures WHERE subject = $1 ORDER BY at_ms", {subject});
    if (failures.size() < static_cast<std::size_t>(most))
        return std::chrono::seconds(0);
    // The oldest failure that must leave before one more fits.
    const std::int64_t frees =
        AsNumber(failures[failures.size() - static_cast<std::size_t>(most)].at(0)) + windowMs_;
    return std::max(std::chrono::ceil<std::chrono::seconds>(std::chrono::milliseconds(frees - now)),
                    std::chrono::seconds(1));
}

LoginThrottle::Attempt LoginThrottle::Begin(const std::string& userName, const std::string& address) {
    const std::int64_t now = WallMilliseconds();
    SweepNowAndThen(now);
    const std::string name = NameSubject(userName);
    const std::string from = AddressSubject(address);
    Attempt attempt;
    database_.InTransaction([&](SqlSession& session) {
        // Always the name first, then the address: two attempts never wait for each other in a ring.
        session.LockKey(name);
        session.LockKey(from);
        const auto wait = std::max(WaitFor(session, name, nameFailures_, now),
                                   WaitFor(session, from, addressFailures_, now));
        if (wait.count() > 0) {
            attempt = {false, wait, {}};
            return;
        }
        attempt = {true, std::chrono::seconds(0), RandomSecret()};
        session.Run("INSERT INTO login_failures (subject, attempt, at_ms) VALUES ($1, $3, $4), ($2, $3, $4)",
                    {name, from, attempt.id, now});
    });
    return attempt;
}

void LoginThrottle::Succeeded(const std::string& userName, const std::string& address,
                              const Attempt& attempt) {
    database_.RunOnce("DELETE FROM login_failures WHERE subject = $1 OR (subject = $2 AND attempt = $3)",
                      {NameSubject(userName), AddressSubject(address), attempt.id});
}

void LoginThrottle::SweepNowAndThen(std::int64_t now) {
    std::int64_t due = nextSweep_.load();
    if (now < due || !nextSweep_.compare_exchange_strong(due, now + kSweepEveryMs))
        return;
    database_.RunOnce("DELETE FROM login_failures WHERE at_ms <= $1", {now - windowMs_});
}

} // namespace qm::server
