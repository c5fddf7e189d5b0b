#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <initializer_list>
#include <vector>

namespace qm {

// Runs a blocking call (the account service) on a worker thread while the calling UI thread keeps
// handling events in a local loop, so that the window never freezes. Meanwhile the given widgets
// are disabled and the cursor is busy; both are put back afterwards. work must not touch UI
// objects: it hands its outcome back through what it captures, which the caller reads once this
// returns. An exception thrown by work is rethrown here, on the calling thread. When the
// application ends meanwhile (its loops are told to quit), every network call of the process is
// stopped (corvane::ProcessStop) and this returns once work has given up.
void RunServiceCall(std::initializer_list<QWidget*> disabledMeanwhile, const std::function<void()>& work);

// For a call made on behalf of the desk rather than a dialog (a script's request): the windows keep
// painting, but user input waits until the call is over, so nothing else starts meanwhile. Without
// a GUI application on this thread the call is simply made.
void RunServiceCallHoldingInput(const std::function<void()>& work);

// The same for work that answers a value.
template <class T>
T RunServiceCall(std::initializer_list<QWidget*> disabledMeanwhile, const std::function<T()>& work) {
    T result{};
    RunServiceCall(disabledMeanwhile, std::function<void()>([&result, &work] { result = work(); }));
    return result;
}

} // namespace qm
