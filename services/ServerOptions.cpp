#include "services/ServerOptions.h"

#include <charconv>
#include <filesystem>
#include <tuple>

namespace qm::server {

namespace {

ParsedOptions Failure(std::string message) {
    return {std::nullopt, std::move(message)};
}

// A whole-number option: its name, where it goes, the smallest value allowed and its help text.
struct NumberOption {
    const char* name;
    int ServerOptions::*plain = nullptr;
    int ServiceLimits::*limit = nullptr;
    int minimum;
    const char* help;
};

const NumberOption kNumberOptions[] = {
    {"--port", &ServerOptions::port, nullptr, 0, "port on 127.0.0.1 (0 or absent: a free one)"},
    {"--database-connections", &ServerOptions::databaseConnections, nullptr, 1,
     "PostgreSQL: the most connections this server opens (default 8)"},
    {"--token-lifetime", &ServerOptions::tokenLifetimeSeconds, nullptr, 1,
     "seconds a login token stays valid (default 300)"},
    {"--header-timeout", nullptr, &ServiceLimits::headerTimeoutSeconds, 1,
     "seconds a request's line and headers may take to arrive (default 5)"},
    {"--body-timeout", nullptr, &ServiceLimits::bodyTimeoutSeconds, 1,
     "seconds a request's body may take after its headers (default 10)"},
    {"--connections-per-client", nullptr, &ServiceLimits::connectionsPerClient, 1,
     "open connections one client address may hold; more are refused (default 32)"},
    {"--workers", nullptr, &ServiceLimits::workers, 2, "connections served at once (default 256)"},
    {"--max-url-bytes", nullptr, &ServiceLimits::maxUrlBytes, 64,
     "longest request line: 414 beyond (default 8192)"},
    {"--max-header-bytes", nullptr, &ServiceLimits::maxHeaderBytes, 256,
     "most bytes of header fields: 431 beyond (default 16384)"},
    {"--max-account-body", nullptr, &ServiceLimits::maxAccountBodyBytes, 256,
     "largest account service request body: 413 beyond (default 16384)"},
    {"--max-usage-body", nullptr, &ServiceLimits::maxUsageBodyBytes, 256,
     "largest statistics text: #03 beyond (default 1048576)"},
    {"--name-failures", nullptr, &ServiceLimits::nameFailures, 1,
     "failed logins for one user name within the window before 429 (default 5)"},
    {"--address-failures", nullptr, &ServiceLimits::addressFailures, 1,
     "failed logins from one address within the window before 429 (default 20)"},
    {"--login-window", nullptr, &ServiceLimits::loginWindowSeconds, 1,
     "seconds of the sliding window of failed logins (default 900)"},
    {"--hash-slots", nullptr, &ServiceLimits::hashSlots, 1,
     "password hashes computed at once, 64 MiB each (default 2)"},
    {"--session-idle", nullptr, &ServiceLimits::sessionIdleSeconds, 1,
     "seconds after which an unused session is closed (default 43200)"},
};

const NumberOption* FindNumberOption(const std::string& name) {
    for (const NumberOption& option : kNumberOptions) {
        if (name == option.name)
            return &option;
    }
    return nullptr;
}

} // namespace

std::string ServerUsage() {
    std::string usage =
        "usage: qm-reference-server --root DIR [--data DIR] [--test-routes] [options]\n"
        "  --root DIR                 folder whose files are served\n"
        "  --redirect /from=/to       answer requests for /from with 302 to /to (repeatable)\n"
        "  --listen ADDR:PORT         address and port to listen on (default 127.0.0.1:0,\n"
        "                             port 0: a free one)\n"
        "  --data DIR                 the account and logging services' data folder\n"
        "                             (accounts.sqlite, services.json, usage.sqlite); without it\n"
        "                             and without a PostgreSQL database their routes answer 503\n"
        "  --database URL             sqlite: (default: the files in --data) or\n"
        "                             postgresql://user@host:port/dbname, shared by every server\n"
        "                             started on it\n"
        "  --metrics                  answer GET /metrics (Prometheus text format)\n"
        "  --trusted-proxy ADDR       a front end (nginx) whose X-Real-IP header names the\n"
        "                             client; exempt from --connections-per-client (repeatable)\n"
        "  --test-routes              install the routes for tests: /hang/, /slow/, /drop/,\n"
        "                             /flaky/, /log/switch and /echo/headers (otherwise they\n"
        "                             answer 404)\n";
    for (const NumberOption& option : kNumberOptions) {
        std::string name = std::string("  ") + option.name + " N";
        name.resize(29, ' ');
        usage += name + option.help + "\n";
    }
    return usage;
}

std::optional<std::pair<std::string, int>> ParseListenAddress(const std::string& text) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size())
        return std::nullopt;
    std::string host = text.substr(0, colon);
    if (host.front() == '[') {
        if (host.size() < 3 || host.back() != ']')
            return std::nullopt;
        host = host.substr(1, host.size() - 2);
    } else if (host.find(':') != std::string::npos) {
        return std::nullopt; // an IPv6 address must be bracketed
    }
    int port = -1;
    const char* first = text.data() + colon + 1;
    const char* last = text.data() + text.size();
    const auto [end, status] = std::from_chars(first, last, port);
    if (status != std::errc() || end != last || port < 0 || port > 65535)
        return std::nullopt;
    return std::make_pair(host, port);
}

ParsedOptions ParseServerOptions(const std::vector<std::string>& arguments) {
    ServerOptions options;
    bool haveRoot = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        if (name == "--help" || name == "-h")
            return Failure(ServerUsage());
        if (name == "--test-routes" || name == "--metrics") {
            (name == "--metrics" ? options.metrics : options.testRoutes) = true;
            continue;
        }
        const NumberOption* number = FindNumberOption(name);
        if (!number && name != "--root" && name != "--redirect" && name != "--data" && name != "--listen" &&
            name != "--database" && name != "--trusted-proxy")
            return Failure("unknown option " + name);
        if (i + 1 >= arguments.size())
            return Failure(name + " needs a value");
        const std::string& value = arguments[++i];
        if (number) {
            int parsed = 0;
            const auto [end, status] = std::from_chars(value.data(), value.data() + value.size(), parsed);
            if (status != std::errc() || end != value.data() + value.size() || parsed < number->minimum ||
                (name == "--port" && parsed > 65535))
                return Failure(name + " " + value + " is not a whole number from " +
                               std::to_string(number->minimum) + (name == "--port" ? " to 65535" : " up"));
            (number->plain ? options.*(number->plain) : options.limits.*(number->limit)) = parsed;
        } else if (name == "--root") {
            std::error_code error;
            if (!std::filesystem::is_directory(value, error))
                return Failure("--root " + value + " is not a folder");
            options.root = value;
            haveRoot = true;
        } else if (name == "--redirect") {
            const auto separator = value.find('=');
            if (separator == std::string::npos || value.front() != '/' || separator + 1 >= value.size() ||
                value[separator + 1] != '/')
                return Failure("--redirect " + value + " is not of the form /from=/to");
            options.redirects.emplace_back(value.substr(0, separator), value.substr(separator + 1));
        } else if (name == "--listen") {
            const auto listen = ParseListenAddress(value);
            if (!listen)
                return Failure("--listen " + value + " is not of the form ADDR:PORT");
            std::tie(options.host, options.port) = *listen;
        } else if (name == "--database") {
            if (value != "sqlite:" && value.rfind("postgresql://", 0) != 0 &&
                value.rfind("postgres://", 0) != 0)
                return Failure("--database " + value + " is neither sqlite: nor a postgresql:// address");
            options.database = value;
        } else if (name == "--trusted-proxy") {
            options.trustedProxies.push_back(value);
        } else {
            std::error_code error;
            if (!std::filesystem::is_directory(value, error))
                return Failure("--data " + value + " is not a folder");
            options.data = value;
        }
    }
    if (!haveRoot)
        return Failure("--root DIR is required\n" + ServerUsage());
    return {std::move(options), {}};
}

} // namespace qm::server
