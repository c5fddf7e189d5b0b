#pragma once

#include <string>
#include <thread>
#include <vector>

namespace qm::test {

// A relay on a free port of 127.0.0.1 in front of a server on another port of 127.0.0.1: the
// first `passing` connections go through to the server whole, every later one is accepted and
// never answered, as a service does that falls silent in the middle of a conversation. It serves
// one connection at a time, as a program that makes its calls one after another needs. Throws
// std::runtime_error when it cannot listen.
class HoldingRelay {
public:
    HoldingRelay(int serverPort, int passing);
    ~HoldingRelay();
    HoldingRelay(const HoldingRelay&) = delete;
    HoldingRelay& operator=(const HoldingRelay&) = delete;

    // "http://127.0.0.1:PORT", without a trailing "/".
    std::string BaseURL() const;

private:
    void Run();
    // Copies bytes both ways until either side closes or the relay stops; false when it stops.
    bool Pump(int client, int server);

    int serverPort_;
    int passing_;
    int listener_ = -1;
    int port_ = 0;
    int wake_[2] = {-1, -1}; // a pipe: written to stop the relay's thread
    std::vector<int> held_;  // accepted connections that are never answered; the thread owns them
    std::thread thread_;
};

} // namespace qm::test
