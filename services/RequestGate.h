#pragma once

#include "services/ServerOptions.h"

#include <httplib.h>

namespace qm::server {

// Checks every request before it is routed and before its body is read: a body announced larger
// than its path allows answers 413 (statistics texts may be larger than account requests), and a
// POST to the account or logging service that is not declared JSON answers 415. Refused requests
// close their connection, leaving the body unread.
void InstallRequestGate(httplib::Server& server, const ServiceLimits& limits);

// True when a Content-Type value names JSON ("application/json", parameters and case aside).
bool IsJsonContentType(const std::string& value);

} // namespace qm::server
