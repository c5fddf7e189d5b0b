#pragma once

#include "services/ClientCounts.h"
#include "services/ServerOptions.h"

#include <chrono>
#include <httplib.h>
#include <string>
#include <vector>

namespace qm::server {

// The HTTP server with the limits a service facing any client needs: a deadline and a size limit
// for each request's head, a deadline for its body, a cap on the connections of one client
// address, and a worker for every admitted connection (up to `workers`), so that slow clients and
// long requests never keep the others waiting. Trusted proxies (a front end such as nginx, which
// carries every client's requests) are not capped.
class GuardedServer : public httplib::Server {
public:
    GuardedServer(const ServiceLimits& limits, std::vector<std::string> trustedProxies);

    // Called by a handler that answers without reading the request's body: the connection is
    // closed after the answer, since the unread body would otherwise be taken for the next request.
    static void CloseAfterThisRequest();
    // When the head of the request this thread is serving had come in.
    static std::chrono::steady_clock::time_point RequestStarted();
    // Call once bound: lets the system queue as many new connections as it allows, instead of
    // the library's five, so that a burst of clients connecting at once is not made to wait for
    // retransmitted connection requests.
    void WidenListenBacklog();

private:
    bool process_and_close_socket(socket_t sock) override;
    // Serves the requests of one admitted connection, as many as keep-alive allows.
    void ServeConnection(socket_t sock);

    const ServiceLimits limits_;
    const std::vector<std::string> trustedProxies_;
    ClientCounts clients_;
};

} // namespace qm::server
