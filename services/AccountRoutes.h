#pragma once

#include "services/ServerMetrics.h"
#include "services/ServerOptions.h"
#include "services/SqlDatabase.h"
#include "services/StopLatch.h"

#include <chrono>
#include <filesystem>
#include <httplib.h>
#include <memory>
#include <string>
#include <vector>

namespace qm::server {

struct AccountRoutesConfig {
    std::shared_ptr<SqlDatabase> database; // migrated; null: the service is not set up and answers 503
    std::filesystem::path dataFolder;      // holds services.json; may be empty (no services)
    std::chrono::seconds tokenLifetime{300};
    std::shared_ptr<StopLatch> stopping;     // released when the server stops
    bool testRoutes = false;                 // install the holding routes below "/hang/"
    ServiceLimits limits;                    // body size, login attempts, hash slots, session idle time
    std::shared_ptr<ServerMetrics> metrics;  // counts failed and refused logins; never null
    std::vector<std::string> trustedProxies; // client addresses whose X-Real-IP names the client
};

// The account service (docs/account-service.md):
//   POST /account/register, /account/login, /account/token, /account/checkToken (JSON bodies)
//   GET  /account/services?serviceType=..&version=..
//   GET  /myaccount/loginSend.do?sendTo=..&token=..   (the token-login page)
// Answers are JSON; a failure is {"error": message} with a 4xx/5xx status. Logins are throttled
// per name and per address (429 with Retry-After). A database that cannot be reached answers 503
// with Retry-After. With testRoutes, the same paths below "/hang/"
// accept the request and never answer until the server stops, for clients' time limits.
void AddAccountRoutes(httplib::Server& server, const AccountRoutesConfig& config);

// The address a request came from: the connection's, or, when that is one of the trusted proxies
// (a front end such as nginx), the address the proxy names in X-Real-IP.
std::string ClientAddress(const httplib::Request& request, const std::vector<std::string>& trustedProxies);

} // namespace qm::server
