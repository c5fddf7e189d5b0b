#include "services/EchoRoute.h"

#include <nlohmann/json.hpp>

namespace qm::server {

void AddEchoRoute(httplib::Server& server) {
    server.Get("/echo/headers", [](const httplib::Request& request, httplib::Response& response) {
        nlohmann::ordered_json headers = nlohmann::ordered_json::object();
        for (const auto& [name, value] : request.headers) {
            auto& slot = headers[name];
            slot = slot.is_null() ? value : slot.get<std::string>() + ", " + value;
        }
        // The page that asks may come from elsewhere (a local file in a browser).
        response.set_header("Access-Control-Allow-Origin", "*");
        response.set_content(headers.dump(), "application/json; charset=utf-8");
    });
}

} // namespace qm::server
