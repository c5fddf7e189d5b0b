#pragma once

#include "upgrade/EventLoopTurn.h"

#include <QObject>
#include <QTimer>
#include <curl/curl.h>
#include <deque>
#include <functional>
#include <map>

class QSocketNotifier;

namespace qm {

// libcurl's multi interface run by the Qt event loop of the thread that owns it: socket notifiers
// watch the sockets libcurl names, a single-shot timer serves its time-outs. No thread of its own.
class TCurlMultiDriver : public QObject {
    Q_OBJECT

public:
    explicit TCurlMultiDriver(QObject* parent = nullptr);
    ~TCurlMultiDriver() override;
    TCurlMultiDriver(const TCurlMultiDriver&) = delete;
    TCurlMultiDriver& operator=(const TCurlMultiDriver&) = delete;

    // The handle stays owned by the caller, who must Remove it before freeing it. False when
    // libcurl refuses it.
    bool Add(CURL* handle);
    // Harmless for a handle that is not (or no longer) added.
    void Remove(CURL* handle);

    // A transfer ended; the handle has already been removed. Called from the event loop, outside
    // every libcurl callback, so the handler may Add and Remove handles (also this one).
    std::function<void(CURL* handle, CURLcode result)> OnFinished;

    // Begun whenever the event loop calls into libcurl here.
    TEventLoopTurn& Turn() noexcept { return turn_; }

private:
    struct TSocketWatch {
        QSocketNotifier* read = nullptr;  // owned through Qt (deleteLater)
        QSocketNotifier* write = nullptr; // owned through Qt (deleteLater)
    };

    static int OnSocket(CURL* handle, curl_socket_t socket, int what, void* self, void* socketData) noexcept;
    static int OnTimer(CURLM* multi, long timeoutMs, void* self) noexcept;

    void Watch(curl_socket_t socket, int what);
    void Unwatch(curl_socket_t socket);
    void Act(curl_socket_t socket, int events);
    void ReapFinished();

    QTimer timer_;
    TEventLoopTurn turn_;
    std::map<curl_socket_t, TSocketWatch> watches_;
    // Ended transfers not yet handed to OnFinished; Remove takes a handle out again, so a handler
    // that frees another ended handle never sees it reported afterwards.
    std::deque<std::pair<CURL*, CURLcode>> ended_;
    CURLM* multi_ = nullptr; // owned; cleaned up first in the destructor
};

} // namespace qm
