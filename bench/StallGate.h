#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qm::bench {

// A service on a free port of 127.0.0.1 that accepts connections and never answers them, or, with a
// target port, passes them through to the server there until it is told to fall silent. A silent
// connection is held (its request unread) until HoldLimit has passed and is then closed, so that
// a client without a time limit of its own still ends. Only 127.0.0.1 is ever touched.
class TStallGate {
public:
    static constexpr std::chrono::seconds kDefaultHoldLimit{33};

    // targetPort 0: every connection is held from the start.
    explicit TStallGate(int targetPort = 0, std::chrono::seconds holdLimit = kDefaultHoldLimit);
    // Closes every connection and waits for the service's threads.
    ~TStallGate();
    TStallGate(const TStallGate&) = delete;
    TStallGate& operator=(const TStallGate&) = delete;

    // "http://127.0.0.1:PORT" followed by path (which starts with "/").
    std::string URL(const std::string& path) const;
    int Port() const noexcept { return port_; }

    // From now on every new connection is held; connections already passed through go on.
    void FallSilent() noexcept { silent_ = true; }
    // Holds a connection whose request path ends with suffix (".sig"), passes the others through.
    void HoldPathsEndingWith(std::string suffix);
    // Connections accepted so far, and of those the ones held.
    int Accepted() const noexcept { return accepted_; }
    int Held() const noexcept { return held_; }

private:
    // Accepts connections until the gate ends, each served on a thread of its own.
    void Listen();
    // Holds or passes one accepted connection, then closes it.
    void Serve(int client);
    // Keeps the connection open, unread, until the hold limit or the end of the gate.
    void Hold();
    // Connects to the target, sends what was read of the request, and copies both ways until
    // either side ends.
    void Pass(int client, const std::string& head);

    int listener_ = -1;
    int port_ = 0;
    int targetPort_ = 0;
    std::chrono::seconds holdLimit_;
    std::atomic<bool> silent_{false};
    std::atomic<bool> stopping_{false};
    std::atomic<int> accepted_{0};
    std::atomic<int> held_{0};
    std::mutex lock_;
    std::string holdSuffix_;               // under lock_
    std::vector<std::thread> connections_; // under lock_; joined by the destructor
    std::thread listening_;
};

} // namespace qm::bench
