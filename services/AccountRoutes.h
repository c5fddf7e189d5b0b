#pragma once

#include "services/ServerOptions.h"
#include "services/StopLatch.h"

#include <chrono>
#include <filesystem>
#include <httplib.h>
#include <memory>

namespace qm::server {

struct AccountRoutesConfig {
    std::filesystem::path dataFolder; // empty: the service is not set up and answers 503
    std::chrono::seconds tokenLifetime{300};
    std::shared_ptr<StopLatch> stopping; // released when the server stops
    bool testRoutes = false;             // install the holding routes below "/hang/"
    ServiceLimits limits;                // body size, login attempts, hash slots, session idle time
};

// The account service (docs/account-service.md):
//   POST /account/register, /account/login, /account/token, /account/checkToken (JSON bodies)
//   GET  /account/services?serviceType=..&version=..
//   GET  /myaccount/loginSend.do?sendTo=..&token=..   (the token-login page)
// Answers are JSON; a failure is {"error": message} with a 4xx/5xx status. Logins are throttled
// per name and per address (429 with Retry-After). With testRoutes, the same paths below "/hang/"
// accept the request and never answer until the server stops, for clients' time limits.
// Throws std::runtime_error when the data folder's database cannot be opened.
void AddAccountRoutes(httplib::Server& server, const AccountRoutesConfig& config);

} // namespace qm::server
