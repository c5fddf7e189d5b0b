#pragma once

#include "services/ClientCounts.h"
#include "services/ServerOptions.h"

#include <httplib.h>

namespace qm::server {

// The HTTP server with the limits a service facing any client needs: a deadline and a size limit
// for each request's head, a deadline for its body, a cap on the connections of one client
// address, and a worker for every admitted connection (up to `workers`), so that slow clients and
// long requests never keep the others waiting.
class GuardedServer : public httplib::Server {
public:
    explicit GuardedServer(const ServiceLimits& limits);

    // Called by a handler that answers without reading the request's body: the connection is
    // closed after the answer, since the unread body would otherwise be taken for the next request.
    static void CloseAfterThisRequest();

private:
    bool process_and_close_socket(socket_t sock) override;
    // Serves the requests of one admitted connection, as many as keep-alive allows.
    void ServeConnection(socket_t sock);

    const ServiceLimits limits_;
    ClientCounts clients_;
};

} // namespace qm::server
