#pragma once

#include <httplib.h>

namespace qm::server {

// Installs GET /echo/headers, a test route: it answers the request's own headers as a JSON object
// (name -> value; a repeated header's values joined by ", "), so a test can see what a client
// really sent, its browser's accepted languages say.
void AddEchoRoute(httplib::Server& server);

} // namespace qm::server
