#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qm::server {

// What the reference server was asked to do on its command line.
struct ServerOptions {
    std::string root;                                           // folder served by the file routes
    int port = 0;                                               // 0: let the system pick a free port
    std::vector<std::pair<std::string, std::string>> redirects; // exact path -> target path, answered 302
    std::string data; // the account and logging services' data folder; empty: their routes answer 503
    int tokenLifetimeSeconds = 300; // how long a login token stays valid
};

// The outcome of reading the command line: options, or a message for the user.
struct ParsedOptions {
    std::optional<ServerOptions> options;
    std::string error;
};

// Reads `--root DIR`, `--port N`, any number of `--redirect /from=/to`, `--data DIR` and
// `--token-lifetime SECONDS`.
ParsedOptions ParseServerOptions(const std::vector<std::string>& arguments);

// One line per option, for --help and for errors.
std::string ServerUsage();

} // namespace qm::server
