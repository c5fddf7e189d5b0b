#include "common/ServiceCall.h"

#include "common/AsyncTask.h"
#include "corvane/TransferStop.h"

#include <QApplication>
#include <QEventLoop>
#include <QThread>
#include <exception>
#include <thread>

namespace qm {

namespace {

// Disables the widgets that were enabled and shows the busy cursor, for the life of the object.
class TBusyState {
public:
    explicit TBusyState(std::initializer_list<QWidget*> widgets) {
        for (QWidget* widget : widgets) {
            if (widget != nullptr && widget->isEnabled()) {
                widget->setEnabled(false);
                disabled_.emplace_back(widget);
            }
        }
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~TBusyState() {
        QApplication::restoreOverrideCursor();
        for (const QPointer<QWidget>& widget : disabled_) {
            if (widget)
                widget->setEnabled(true);
        }
    }
    TBusyState(const TBusyState&) = delete;
    TBusyState& operator=(const TBusyState&) = delete;

private:
    std::vector<QPointer<QWidget>> disabled_;
};

void RunInLoop(const std::function<void()>& work, QEventLoop::ProcessEventsFlags flags) {
    QEventLoop loop;
    std::exception_ptr failure;
    bool finished = false; // read and written on this thread only, by the worker's post
    // The worker only posts to the loop, which outlives it: the join comes first.
    std::thread worker([&work, &failure, &loop, &finished] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        CallBackOn(&loop, [&loop, &finished] {
            finished = true;
            loop.quit();
        });
    });
    loop.exec(flags);
    // Only the application ending leaves the loop before the worker's post: its calls stop now,
    // or the desk would stand unpainted until their time limit before it could close.
    if (!finished)
        corvane::ProcessStop().Stop();
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace

void RunServiceCall(std::initializer_list<QWidget*> disabledMeanwhile, const std::function<void()>& work) {
    // User input keeps being delivered: the dialog is modal, and its own controls that could start
    // another call are disabled.
    const TBusyState busy(disabledMeanwhile);
    RunInLoop(work, QEventLoop::AllEvents);
}

void RunServiceCallHoldingInput(const std::function<void()>& work) {
    auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (application == nullptr || QThread::currentThread() != application->thread()) {
        work();
        return;
    }
    const TBusyState busy({});
    RunInLoop(work, QEventLoop::ExcludeUserInputEvents);
}

} // namespace qm
