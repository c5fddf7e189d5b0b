#pragma once

#include "corvane/Export.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

namespace corvane {

// A way to stop network calls that are under way on other threads, at once rather than at their
// next time limit. A call registers a wake-up while it runs; Stop sets the flag and runs every
// wake-up, and every call started afterwards gives up before it begins. Thread-safe.
class CORVANE_API TStopToken {
public:
    TStopToken() = default;
    TStopToken(const TStopToken&) = delete;
    TStopToken& operator=(const TStopToken&) = delete;

    // Stops every registered call and every later one. Idempotent.
    void Stop();
    bool Stopped() const;

    // Registers a wake-up for a running call; it runs at once (on this thread) when the token is
    // already stopped. It must be short and must not call back into the token. The answer
    // identifies it for Unregister.
    std::uint64_t Register(std::function<void()> wake);
    // After it returns the wake-up is never run again.
    void Unregister(std::uint64_t id);

    // Lets calls run again; for tests that stop and go on.
    void ResetForTesting();

private:
    mutable std::mutex lock_;
    bool stopped_ = false;
    std::uint64_t next_ = 1;
    std::map<std::uint64_t, std::function<void()>> wakes_;
};

// The process-wide token: the desk stops it when it closes, so that no worker thread waits out a
// slow service while the program ends. One per process, because every deliverable links its own
// copy of the support library.
CORVANE_API TStopToken& ProcessStop() noexcept;

} // namespace corvane

namespace corvane {

// A wake-up registered for the life of this object.
class TStopRegistration {
public:
    TStopRegistration(TStopToken& token, std::function<void()> wake)
        : token_(token), id_(token.Register(std::move(wake))) {}
    ~TStopRegistration() { token_.Unregister(id_); }
    TStopRegistration(const TStopRegistration&) = delete;
    TStopRegistration& operator=(const TStopRegistration&) = delete;

private:
    TStopToken& token_;
    std::uint64_t id_;
};

} // namespace corvane
