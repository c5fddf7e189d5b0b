#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace qm::server {

// What the server has done since it started, for GET /metrics in the Prometheus text format:
// requests by route and status, their latency by route, failed and refused logins, usage files
// and counts stored. Safe to use from several threads.
class ServerMetrics {
public:
    // One answered request; `route` as RouteLabel() names it.
    void CountRequest(const std::string& route, int status, double seconds);
    void CountLoginFailure() { ++loginFailures_; }
    void CountLoginThrottled() { ++loginsThrottled_; }
    // One usage file stored, holding `counts` uses in all.
    void CountUsageStored(std::int64_t counts) {
        ++usageFiles_;
        usageCounts_ += counts;
    }
    // Everything, in the text exposition format (version 0.0.4).
    std::string Text();

private:
    static constexpr std::array<double, 12> kBuckets = {0.001, 0.0025, 0.005, 0.01, 0.025, 0.05,
                                                        0.1,   0.25,   0.5,   1,    2.5,   10};
    struct Latency {
        std::array<std::uint64_t, kBuckets.size()> buckets{}; // not cumulative; summed on output
        std::uint64_t count = 0;
        double sum = 0;
    };

    std::mutex mutex_;
    std::map<std::pair<std::string, int>, std::uint64_t> requests_; // (route, status) -> count
    std::map<std::string, Latency> latency_;                        // by route
    std::atomic<std::uint64_t> loginFailures_{0};
    std::atomic<std::uint64_t> loginsThrottled_{0};
    std::atomic<std::uint64_t> usageFiles_{0};
    std::atomic<std::int64_t> usageCounts_{0};
};

// The route a request path belongs to, from a fixed set, so that the metrics stay small whatever
// paths clients send: the service paths by name, "/hang/..." as "hang", anything else "files".
std::string RouteLabel(const std::string& path);

} // namespace qm::server
