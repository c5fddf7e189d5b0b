#include "services/ServerOptions.h"

#include <charconv>
#include <filesystem>

namespace qm::server {

namespace {

ParsedOptions Failure(std::string message) {
    return {std::nullopt, std::move(message)};
}

} // namespace

std::string ServerUsage() {
    return "usage: qm-reference-server --root DIR [--port N] [--redirect /from=/to ...] [--data DIR]\n"
           "                          [--token-lifetime SECONDS]\n"
           "  --root DIR                 folder whose files are served\n"
           "  --port N                   port on 127.0.0.1 (0 or absent: a free one)\n"
           "  --redirect /from=/to       answer requests for /from with 302 to /to (repeatable)\n"
           "  --data DIR                 the account and logging services' data folder (accounts.sqlite, "
           "services.json,\n"
           "                             usage.sqlite); without it their routes answer 503\n"
           "  --token-lifetime SECONDS   how long a login token stays valid (default 300)\n";
}

ParsedOptions ParseServerOptions(const std::vector<std::string>& arguments) {
    ServerOptions options;
    bool haveRoot = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        if (name == "--help" || name == "-h")
            return Failure(ServerUsage());
        if (i + 1 >= arguments.size())
            return Failure(name == "--root" || name == "--port" || name == "--redirect" || name == "--data" ||
                                   name == "--token-lifetime"
                               ? name + " needs a value"
                               : "unknown option " + name);
        const std::string& value = arguments[++i];
        if (name == "--root") {
            std::error_code error;
            if (!std::filesystem::is_directory(value, error))
                return Failure("--root " + value + " is not a folder");
            options.root = value;
            haveRoot = true;
        } else if (name == "--port") {
            int port = -1;
            const auto [end, status] = std::from_chars(value.data(), value.data() + value.size(), port);
            if (status != std::errc() || end != value.data() + value.size() || port < 0 || port > 65535)
                return Failure("--port " + value + " is not a port number");
            options.port = port;
        } else if (name == "--redirect") {
            const auto separator = value.find('=');
            if (separator == std::string::npos || value.front() != '/' || separator + 1 >= value.size() ||
                value[separator + 1] != '/')
                return Failure("--redirect " + value + " is not of the form /from=/to");
            options.redirects.emplace_back(value.substr(0, separator), value.substr(separator + 1));
        } else if (name == "--data") {
            std::error_code error;
            if (!std::filesystem::is_directory(value, error))
                return Failure("--data " + value + " is not a folder");
            options.data = value;
        } else if (name == "--token-lifetime") {
            int seconds = 0;
            const auto [end, status] = std::from_chars(value.data(), value.data() + value.size(), seconds);
            if (status != std::errc() || end != value.data() + value.size() || seconds <= 0)
                return Failure("--token-lifetime " + value + " is not a positive number of seconds");
            options.tokenLifetimeSeconds = seconds;
        } else {
            return Failure("unknown option " + name);
        }
    }
    if (!haveRoot)
        return Failure("--root DIR is required\n" + ServerUsage());
    return {std::move(options), {}};
}

} // namespace qm::server
