#pragma once

#include <string>

namespace qm {

// Keeps a second copy of the program from starting. The lock is an abstract-namespace Unix socket
// named after the instance name and the user: the kernel releases it when the process ends, however
// it ends, so a crashed first instance never blocks the next start.
class TInstanceLock {
public:
    explicit TInstanceLock(const std::string& instanceName);
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

    // False when another process holds the name.
    bool Acquired() const noexcept { return acquired_; }

private:
    int socket_ = -1;
    bool acquired_ = false;
};

} // namespace qm
