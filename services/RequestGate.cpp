#include "services/RequestGate.h"

#include "services/GuardedServer.h"

#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>

namespace qm::server {

namespace {

using Json = nlohmann::ordered_json;
using Outcome = httplib::Server::HandlerResponse;

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The path without a test prefix that holds requests ("/hang/account/login" -> "/account/login").
std::string_view ServicePath(std::string_view path) {
    if (StartsWith(path, "/hang/"))
        path.remove_prefix(5);
    return path;
}

Outcome Refuse(httplib::Response& response, int status, const std::string& message) {
    response.status = status;
    response.set_header("Connection", "close");
    response.set_content(Json{{"error", message}}.dump(), "application/json; charset=utf-8");
    GuardedServer::CloseAfterThisRequest();
    return Outcome::Handled;
}

} // namespace

bool IsJsonContentType(const std::string& value) {
    std::string type = value.substr(0, value.find(';'));
    std::transform(type.begin(), type.end(), type.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    const auto first = type.find_first_not_of(" \t");
    const auto last = type.find_last_not_of(" \t");
    return first != std::string::npos && type.substr(first, last - first + 1) == "application/json";
}

void InstallRequestGate(httplib::Server& server, const ServiceLimits& limits) {
    server.set_pre_routing_handler([limits](const httplib::Request& request, httplib::Response& response) {
        const std::string_view path = ServicePath(request.path);
        const bool usage = path == "/log/usage";
        const auto most =
            static_cast<std::uint64_t>(usage ? limits.maxUsageBodyBytes : limits.maxAccountBodyBytes);
        if (request.has_header("Content-Length")) {
            const std::string text = request.get_header_value("Content-Length");
            std::uint64_t length = 0;
            const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), length);
            if (text.empty() || status != std::errc() || end != text.data() + text.size())
                return Refuse(response, 400, "请求的 Content-Length 无效");
            if (length > most)
                return Refuse(response, 413, "请求内容过大：最多 " + std::to_string(most) + " 字节");
        }
        const bool service = StartsWith(path, "/account/") || StartsWith(path, "/log/");
        if (request.method == "POST" && service &&
            !IsJsonContentType(request.get_header_value("Content-Type")))
            return Refuse(response, 415, "请求内容必须是 JSON（Content-Type: application/json）");
        return Outcome::Unhandled;
    });
}

} // namespace qm::server
