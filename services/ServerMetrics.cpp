#include "services/ServerMetrics.h"

#include <cstdio>

namespace qm::server {

namespace {

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

} // namespace

std::string RouteLabel(const std::string& path) {
    static const char* const kRoutes[] = {
        "/account/register",   "/account/login",    "/account/token",
        "/account/checkToken", "/account/services", "/myaccount/loginSend.do",
        "/log/ping",           "/log/usage",        "/log/summary",
        "/log/switch",         "/healthz",          "/metrics"};
    for (const char* route : kRoutes) {
        if (path == route)
            return route;
    }
    if (path.rfind("/hang/", 0) == 0)
        return "hang";
    return "files";
}

void ServerMetrics::CountRequest(const std::string& route, int status, double seconds) {
    std::size_t bucket = 0;
    while (bucket < kBuckets.size() && seconds > kBuckets[bucket])
        ++bucket;
    const std::lock_guard lock(mutex_);
    ++requests_[{route, status}];
    Latency& latency = latency_[route];
    if (bucket < kBuckets.size())
        ++latency.buckets[bucket];
    ++latency.count;
    latency.sum += seconds;
}

std::string ServerMetrics::Text() {
    std::string text;
    text += "# HELP qm_http_requests_total Requests answered, by route and status.\n"
            "# TYPE qm_http_requests_total counter\n";
    const std::lock_guard lock(mutex_);
    for (const auto& [key, count] : requests_)
        text += "qm_http_requests_total{route=\"" + key.first + "\",status=\"" + std::to_string(key.second) +
                "\"} " + std::to_string(count) + "\n";
    text += "# HELP qm_http_request_duration_seconds Time from a request's head to its answer.\n"
            "# TYPE qm_http_request_duration_seconds histogram\n";
    for (const auto& [route, latency] : latency_) {
        const std::string name = "qm_http_request_duration_seconds";
        std::uint64_t cumulative = 0;
        for (std::size_t i = 0; i < kBuckets.size(); ++i) {
            cumulative += latency.buckets[i];
            text += name + "_bucket{route=\"" + route + "\",le=\"" + Number(kBuckets[i]) + "\"} " +
                    std::to_string(cumulative) + "\n";
        }
        text += name + "_bucket{route=\"" + route + "\",le=\"+Inf\"} " + std::to_string(latency.count) + "\n";
        text += name + "_sum{route=\"" + route + "\"} " + Number(latency.sum) + "\n";
        text += name + "_count{route=\"" + route + "\"} " + std::to_string(latency.count) + "\n";
    }
    const auto counter = [&text](const char* name, const char* help, auto value) {
        text += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " counter\n" + name + " " +
                std::to_string(value) + "\n";
    };
    counter("qm_login_failures_total", "Logins refused for a wrong name or password.", loginFailures_.load());
    counter("qm_login_throttled_total", "Logins answered 429 for too many failures.",
            loginsThrottled_.load());
    counter("qm_usage_files_stored_total", "Usage statistics files stored.", usageFiles_.load());
    counter("qm_usage_counts_stored_total", "Uses counted in the stored usage statistics files.",
            usageCounts_.load());
    return text;
}

} // namespace qm::server
