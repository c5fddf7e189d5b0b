#pragma once

#include "services/StopLatch.h"

#include <filesystem>
#include <httplib.h>
#include <memory>

namespace qm::server {

struct LogRoutesConfig {
    std::filesystem::path dataFolder;       // empty: the service is not set up and answers 503
    std::shared_ptr<StopLatch> stopping;    // released when the server stops; may be null
    bool testRoutes = false;                // install /log/switch and the holding routes
    std::size_t maxBodyBytes = 1024 * 1024; // larger statistics texts are refused
};

// The logging service (docs/logging-service.md):
//   GET  /log/ping               200 when ready to accept, 503 when away or not set up
//   POST /log/usage?id=FILEID    a statistics text; answers "#00" stored, "#02" refused, "#03" invalid
//   GET  /log/summary            {"files", "total", "counts": [{"user", "day", "functionKey", "count"}]}
// With testRoutes only:
//   POST /log/switch             {"mode": "accept"|"refuse"|"away", "note": text, "delayMs": n}
//                                (delayMs at most 60000)
//   GET  /hang/log/ping, POST /hang/log/usage   never answer until the server stops (503)
// A delay (delayMs) and a hang end early when the server stops, so that stopping never waits.
// Throws std::runtime_error when the data folder's database cannot be opened.
void AddLogRoutes(httplib::Server& server, const LogRoutesConfig& config);

} // namespace qm::server
