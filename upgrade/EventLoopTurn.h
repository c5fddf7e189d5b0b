#pragma once

#include <chrono>

namespace qm {

// How long the event loop has been inside libcurl: a transfer reads on for as long as its socket
// has data, so the requests of a fast transfer give the loop back once a turn has lasted this
// long, and the window keeps repainting. Begun each time the loop calls into libcurl.
class TEventLoopTurn {
public:
    static constexpr std::chrono::microseconds kLength{3000};

    void SetLength(std::chrono::microseconds length) noexcept { length_ = length; }
    void Begin() noexcept {
        began_ = std::chrono::steady_clock::now();
        took_ = false;
    }
    // A piece was taken in: every turn takes at least one, so a transfer always moves on, however
    // late the loop comes back to it.
    void Took() noexcept { took_ = true; }
    bool Over() const noexcept { return took_ && std::chrono::steady_clock::now() - began_ >= length_; }

private:
    bool took_ = false;
    std::chrono::microseconds length_ = kLength;
    std::chrono::steady_clock::time_point began_ = std::chrono::steady_clock::now();
};

} // namespace qm
