#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <functional>
#include <string>

namespace qm::bench {

// Lets this thread's event loop run (sleeping when idle) until done() holds or limit has passed;
// whether done() held. For the preparation of a path, outside its measurement.
bool RunEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

// What one path cost the UI thread, in milliseconds.
struct TStallFigures {
    double longestGapMs = 0; // between 16 ms ticks, up to the moment the path finished
    double callMs = 0;       // inside the calls the bench made on the UI thread
    double totalMs = 0;      // from the start until the path finished (or was given up)
    bool finished = false;   // false: given up at its time limit
    std::string note;
};

// Measures the UI thread while a path runs: a 16 ms timer on this thread notes the longest gap
// between its ticks, calls made through Call are timed, and Finish stops the clock. Lives on the
// UI thread, from just before the path's first call until it has finished.
class TUiStallMeter {
public:
    static constexpr int kTickMs = 16;

    TUiStallMeter();

    // Runs call and adds its duration to the call time.
    void Call(const std::function<void()>& call);
    // Lets the event loop run (sleeping when idle) until done() holds or `limit` after the start
    // has passed; whether done() held.
    bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
    // Lets the event loop run for `span`.
    void Wait(std::chrono::milliseconds span);
    // Milliseconds since the start.
    double ElapsedMs() const;
    // Ends the measurement; the time since the last tick counts as a gap too.
    TStallFigures Finish(bool finished, std::string note);

private:
    QElapsedTimer clock_;
    QElapsedTimer sinceTick_;
    QTimer ticks_;
    qint64 longestGapNs_ = 0;
    qint64 callNs_ = 0;
};

} // namespace qm::bench
