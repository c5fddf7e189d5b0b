#include "upgrade/WaitForResult.h"

#include "upgrade/ResultCodes.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <thread>

namespace qm {

namespace {

void PumpOnce() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

bool IsFinal(int result) {
    return result == kStateDone || result == kStateFailed || result == kStateCancelled ||
           result == kStateSkipped;
}

} // namespace

int WaitForResult(const int& lastResult, const std::function<bool()>& busy,
                  std::chrono::milliseconds idleLimit) {
    QElapsedTimer idle;
    idle.start();
    for (;;) {
        for (int turn = 0; turn < 21; ++turn)
            PumpOnce();
        if (IsFinal(lastResult))
            return lastResult;
        if (busy())
            idle.restart();
        else if (idle.elapsed() >= idleLimit.count())
            return kStateSkipped;
    }
}

} // namespace qm
