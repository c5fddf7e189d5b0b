#pragma once

#include <httplib.h>

namespace qm::server {

// Gives every error answer that has no body of its own a small HTML page naming the status,
// e.g. "404 Not Found", which is what clients look for in a missing page. Handler exceptions
// become 500 answers (logged to stderr).
void InstallErrorPages(httplib::Server& server);

} // namespace qm::server
