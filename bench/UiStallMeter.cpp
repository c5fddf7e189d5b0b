#include "bench/UiStallMeter.h"

#include <QEventLoop>
#include <algorithm>

namespace qm::bench {

namespace {

constexpr int kPollMs = 5;

double Milliseconds(qint64 nanoseconds) {
    return static_cast<double>(nanoseconds) / 1e6;
}

} // namespace

bool RunEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    if (done())
        return true;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer look;
    look.setInterval(kPollMs);
    bool held = false;
    QObject::connect(&look, &QTimer::timeout, [&] {
        held = done();
        if (held || clock.elapsed() >= limit.count())
            loop.quit();
    });
    look.start();
    loop.exec();
    return held;
}

TUiStallMeter::TUiStallMeter() {
    ticks_.setTimerType(Qt::PreciseTimer);
    ticks_.setInterval(kTickMs);
    QObject::connect(&ticks_, &QTimer::timeout, [this] {
        longestGapNs_ = std::max(longestGapNs_, sinceTick_.nsecsElapsed());
        sinceTick_.start();
    });
    clock_.start();
    sinceTick_.start();
    ticks_.start();
}

void TUiStallMeter::Call(const std::function<void()>& call) {
    QElapsedTimer clock;
    clock.start();
    call();
    callNs_ += clock.nsecsElapsed();
}

bool TUiStallMeter::WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto left = std::max<qint64>(0, limit.count() - clock_.elapsed());
    return RunEventsUntil(done, std::chrono::milliseconds(left));
}

void TUiStallMeter::Wait(std::chrono::milliseconds span) {
    QEventLoop loop;
    QTimer::singleShot(span, &loop, &QEventLoop::quit);
    loop.exec();
}

double TUiStallMeter::ElapsedMs() const {
    return Milliseconds(clock_.nsecsElapsed());
}

TStallFigures TUiStallMeter::Finish(bool finished, std::string note) {
    TStallFigures figures;
    figures.totalMs = ElapsedMs();
    ticks_.stop();
    figures.longestGapMs = Milliseconds(std::max(longestGapNs_, sinceTick_.nsecsElapsed()));
    figures.callMs = Milliseconds(callNs_);
    figures.finished = finished;
    figures.note = std::move(note);
    return figures;
}

} // namespace qm::bench
