#pragma once

#include <filesystem>
#include <httplib.h>

namespace qm::server {

struct LogRoutesConfig {
    std::filesystem::path dataFolder; // empty: the service is not set up and answers 503
};

// The logging service (docs/logging-service.md):
//   GET  /log/ping               200 when ready to accept, 503 when away or not set up
//   POST /log/usage?id=FILEID    a statistics text; answers "#00" stored, "#02" refused, "#03" invalid
//   GET  /log/summary            {"files", "total", "counts": [{"user", "day", "functionKey", "count"}]}
//   POST /log/switch             {"mode": "accept"|"refuse"|"away", "note": text, "delayMs": n}, for tests
// Throws std::runtime_error when the data folder's database cannot be opened.
void AddLogRoutes(httplib::Server& server, const LogRoutesConfig& config);

} // namespace qm::server
