#include "common/AsyncTask.h"

#include <QMetaObject>
#include <QPointer>

namespace qm {

void CallBackOn(QObject* context, std::function<void()> callback) {
    if (context == nullptr)
        return;
    // Posted to the context itself, so that a context that goes takes its pending callbacks (and
    // with them code of a library that may be unloaded next) along.
    QMetaObject::invokeMethod(
        context,
        [guard = QPointer<QObject>(context), callback = std::move(callback)] {
            if (guard)
                callback();
        },
        Qt::QueuedConnection);
}

void TCallBackGate::Post(std::function<void()> callback) {
    const std::lock_guard lock(lock_);
    CallBackOn(context_, std::move(callback));
}

void TCallBackGate::Close() {
    const std::lock_guard lock(lock_);
    context_ = nullptr;
}

} // namespace qm
