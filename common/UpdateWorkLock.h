#pragma once

#include <chrono>
#include <filesystem>
#include <string>

namespace qm {

// Held by whichever program extracts, places or undoes an update of one installation, so that a
// second start during a desk's placement never takes that placement for a killed one. The system
// lets it go when its holder ends, however it ends, so a killed placement is recovered at once.
class TUpdateWorkLock {
public:
    // Takes the lock of the work folder `work`, waiting at most `wait` for another program to let
    // it go. The folder must exist.
    TUpdateWorkLock(const std::filesystem::path& work, std::chrono::milliseconds wait);
    ~TUpdateWorkLock();
    TUpdateWorkLock(const TUpdateWorkLock&) = delete;
    TUpdateWorkLock& operator=(const TUpdateWorkLock&) = delete;

    bool Held() const noexcept { return fd_ >= 0; }
    // Whether another running program holds the lock (rather than the lock file failing).
    bool HeldElsewhere() const noexcept { return heldElsewhere_; }
    // Why the lock is not held: another program kept it, or the lock file could not be opened.
    const std::string& Why() const noexcept { return why_; }

private:
    int fd_ = -1;
    bool heldElsewhere_ = false;
    std::string why_;
};

} // namespace qm
