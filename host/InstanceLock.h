#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>
#include <string>

namespace qm {

// Keeps a second copy of the program from starting. The lock is an abstract-namespace Unix socket
// named after the instance name and the user: the kernel releases it when the process ends, however
// it ends, so a crashed first instance never blocks the next start. A refused start knocks on the
// holder's socket, so that the running desk can come to the front.
class TInstanceLock {
public:
    explicit TInstanceLock(const std::string& instanceName);
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

    // False when another process holds the name.
    bool Acquired() const noexcept { return acquired_; }

    // Holder only: calls onKnock from the event loop whenever another start was refused.
    void WatchKnocks(std::function<void()> onKnock);
    // Refused starts: tells the holder that someone tried to start the program. Never blocks.
    void KnockOnHolder() const;

private:
    void AcceptKnocks();

    std::string name_; // the socket's abstract name
    int socket_ = -1;
    bool acquired_ = false;
    std::function<void()> onKnock_;
    std::unique_ptr<QSocketNotifier> knocks_;
};

} // namespace qm
