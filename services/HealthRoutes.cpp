#include "services/HealthRoutes.h"

#include <nlohmann/json.hpp>

namespace qm::server {

void AddHealthRoutes(httplib::Server& server, const HealthRoutesConfig& config) {
    server.Get(
        "/healthz", [databases = config.databases](const httplib::Request&, httplib::Response& response) {
            bool answering = !databases.empty();
            for (const auto& database : databases)
                answering = answering && database->Answers();
            response.status = answering ? 200 : 503;
            const nlohmann::json body =
                answering ? nlohmann::json{{"database", "ok"}}
                          : nlohmann::json{{"error", databases.empty() ? "没有数据库" : "数据库没有应答"}};
            response.set_content(body.dump(), "application/json; charset=utf-8");
        });
    if (!config.exposeMetrics)
        return;
    server.Get("/metrics", [metrics = config.metrics](const httplib::Request&, httplib::Response& response) {
        response.set_content(metrics->Text(), "text/plain; version=0.0.4; charset=utf-8");
    });
}

} // namespace qm::server
