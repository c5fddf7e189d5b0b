#pragma once

#include "services/ServerMetrics.h"
#include "services/SqlDatabase.h"
#include "services/StopLatch.h"

#include <filesystem>
#include <httplib.h>
#include <memory>

namespace qm::server {

struct LogRoutesConfig {
    std::shared_ptr<SqlDatabase> database;  // migrated; null: the service is not set up and answers 503
    std::shared_ptr<StopLatch> stopping;    // released when the server stops; may be null
    bool testRoutes = false;                // install /log/switch and the holding routes
    std::size_t maxBodyBytes = 1024 * 1024; // larger statistics texts are refused
    std::shared_ptr<ServerMetrics> metrics; // counts the files and uses stored; never null
};

// The logging service (docs/logging-service.md):
//   GET  /log/ping               200 when ready to accept, 503 when away, not set up or the
//                                database does not answer
//   POST /log/usage?id=FILEID    a statistics text; answers "#00" stored, "#02" refused, "#03" invalid;
//                                503 when the database cannot be reached
//   GET  /log/summary            {"files", "total", "counts": [{"user", "day", "functionKey", "count"}]}
// With testRoutes only:
//   POST /log/switch             {"mode": "accept"|"refuse"|"away", "note": text, "delayMs": n,
//                                 "pauseInStoreMs": n} (each at most 60000; delayMs after storing,
//                                 pauseInStoreMs inside the store's transaction, before it commits)
//   GET  /hang/log/ping, POST /hang/log/usage   never answer until the server stops (503)
// A delay (delayMs, pauseInStoreMs) and a hang end early when the server stops, so that stopping
// never waits.
void AddLogRoutes(httplib::Server& server, const LogRoutesConfig& config);

} // namespace qm::server
