#pragma once

#include "services/ServerMetrics.h"
#include "services/SqlDatabase.h"

#include <httplib.h>
#include <memory>
#include <vector>

namespace qm::server {

struct HealthRoutesConfig {
    std::vector<std::shared_ptr<SqlDatabase>> databases; // the services' databases; may be empty
    std::shared_ptr<ServerMetrics> metrics;              // never null
    bool exposeMetrics = false;                          // install GET /metrics
};

// For operators and load balancers:
//   GET /healthz   200 {"database": "ok"} while every database answers; 503 when one does not, or
//                  when the server has none (it cannot serve the account and logging services)
//   GET /metrics   the metrics in the Prometheus text format; only with exposeMetrics
void AddHealthRoutes(httplib::Server& server, const HealthRoutesConfig& config);

} // namespace qm::server
