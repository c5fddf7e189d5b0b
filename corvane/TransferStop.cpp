#include "corvane/TransferStop.h"

namespace corvane {

// Wake-ups run under the lock, so that once Unregister has returned none of them runs again.
// They must be short and must not call back into the token (curl_multi_wakeup is such a call).

void TStopToken::Stop() {
    const std::lock_guard guard(lock_);
    stopped_ = true;
    for (auto& [id, wake] : wakes_)
        wake();
}

bool TStopToken::Stopped() const {
    const std::lock_guard guard(lock_);
    return stopped_;
}

std::uint64_t TStopToken::Register(std::function<void()> wake) {
    const std::lock_guard guard(lock_);
    const std::uint64_t id = next_++;
    if (stopped_)
        wake();
    wakes_.emplace(id, std::move(wake));
    return id;
}

void TStopToken::Unregister(std::uint64_t id) {
    const std::lock_guard guard(lock_);
    wakes_.erase(id);
}

void TStopToken::ResetForTesting() {
    const std::lock_guard guard(lock_);
    stopped_ = false;
}

TStopToken& ProcessStop() noexcept {
    static TStopToken token;
    return token;
}

} // namespace corvane
