#include "upgrade/CurlMultiDriver.h"

#include "common/CurlHandles.h"

#include <QSocketNotifier>

namespace qm {

namespace {

// A notifier may be the one whose signal is being handled right now: it is switched off at once
// and freed when control is back in the event loop.
void Retire(QSocketNotifier* notifier) {
    if (!notifier)
        return;
    notifier->setEnabled(false);
    notifier->deleteLater();
}

} // namespace

TCurlMultiDriver::TCurlMultiDriver(QObject* parent) : QObject(parent) {
    InitCurlOnce();
    multi_ = curl_multi_init();
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] { Act(CURL_SOCKET_TIMEOUT, 0); });
    if (multi_) {
        curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &TCurlMultiDriver::OnSocket);
        curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
        curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &TCurlMultiDriver::OnTimer);
        curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
    }
}

TCurlMultiDriver::~TCurlMultiDriver() {
    if (multi_)
        curl_multi_cleanup(multi_); // may still report sockets to forget; the watches are alive
    for (auto& [socket, watch] : watches_) {
        Retire(watch.read);
        Retire(watch.write);
    }
}

bool TCurlMultiDriver::Add(CURL* handle) {
    return multi_ && curl_multi_add_handle(multi_, handle) == CURLM_OK;
}

void TCurlMultiDriver::Remove(CURL* handle) {
    std::erase_if(ended_, [handle](const auto& entry) { return entry.first == handle; });
    if (multi_)
        curl_multi_remove_handle(multi_, handle);
}

int TCurlMultiDriver::OnSocket(CURL*, curl_socket_t socket, int what, void* self, void*) noexcept {
    try {
        auto* driver = static_cast<TCurlMultiDriver*>(self);
        if (what == CURL_POLL_REMOVE)
            driver->Unwatch(socket);
        else
            driver->Watch(socket, what);
        return 0;
    } catch (...) {
        return -1;
    }
}

int TCurlMultiDriver::OnTimer(CURLM*, long timeoutMs, void* self) noexcept {
    auto* driver = static_cast<TCurlMultiDriver*>(self);
    if (timeoutMs < 0)
        driver->timer_.stop();
    else
        driver->timer_.start(static_cast<int>(timeoutMs));
    return 0;
}

void TCurlMultiDriver::Watch(curl_socket_t socket, int what) {
    TSocketWatch& watch = watches_[socket];
    const auto ensure = [this, socket](QSocketNotifier*& notifier, QSocketNotifier::Type type, int event) {
        if (!notifier) {
            notifier = new QSocketNotifier(socket, type, this); // owned by this driver (Qt parent)
            connect(notifier, &QSocketNotifier::activated, this,
                    [this, socket, event] { Act(socket, event); });
        }
    };
    const bool wantRead = what == CURL_POLL_IN || what == CURL_POLL_INOUT;
    const bool wantWrite = what == CURL_POLL_OUT || what == CURL_POLL_INOUT;
    if (wantRead)
        ensure(watch.read, QSocketNotifier::Read, CURL_CSELECT_IN);
    if (wantWrite)
        ensure(watch.write, QSocketNotifier::Write, CURL_CSELECT_OUT);
    if (watch.read)
        watch.read->setEnabled(wantRead);
    if (watch.write)
        watch.write->setEnabled(wantWrite);
}

void TCurlMultiDriver::Unwatch(curl_socket_t socket) {
    const auto found = watches_.find(socket);
    if (found == watches_.end())
        return;
    Retire(found->second.read);
    Retire(found->second.write);
    watches_.erase(found);
}

void TCurlMultiDriver::Act(curl_socket_t socket, int events) {
    if (!multi_)
        return;
    int running = 0;
    turn_.Begin();
    curl_multi_socket_action(multi_, socket, events, &running);
    ReapFinished();
}

void TCurlMultiDriver::ReapFinished() {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg == CURLMSG_DONE) {
            // The message belongs to the handle: read it before the handle leaves.
            CURL* handle = message->easy_handle;
            const CURLcode result = message->data.result;
            curl_multi_remove_handle(multi_, handle);
            ended_.emplace_back(handle, result);
        }
    }
    while (!ended_.empty()) {
        const auto [handle, result] = ended_.front();
        ended_.pop_front();
        if (OnFinished)
            OnFinished(handle, result);
    }
}

} // namespace qm
