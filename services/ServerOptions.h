#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qm::server {

// The limits that keep one client from starving the others or filling the server's memory.
struct ServiceLimits {
    int headerTimeoutSeconds = 5;          // a request's line and headers must have come by then
    int bodyTimeoutSeconds = 10;           // its body, counted from the end of the headers
    int connectionsPerClient = 32;         // open connections one client address may hold
    int workers = 256;                     // most connections served at once (one thread each)
    int maxUrlBytes = 8 * 1024;            // the request line
    int maxHeaderBytes = 16 * 1024;        // the header fields together
    int maxAccountBodyBytes = 16 * 1024;   // an account service request
    int maxUsageBodyBytes = 1024 * 1024;   // a statistics text
    int nameFailures = 5;                  // failed logins for one user name within the window
    int addressFailures = 20;              // failed logins from one address within the window
    int loginWindowSeconds = 15 * 60;      // the sliding window of failed logins
    int hashSlots = 2;                     // password hashes run at once (64 MiB each)
    int sessionIdleSeconds = 12 * 60 * 60; // a session unused this long is closed
};

// What the reference server was asked to do on its command line.
struct ServerOptions {
    std::string root;                                           // folder served by the file routes
    std::string host = "127.0.0.1";                             // the address to listen on
    int port = 0;                                               // 0: let the system pick a free port
    std::vector<std::pair<std::string, std::string>> redirects; // exact path -> target path, answered 302
    std::string data; // the services' data folder; empty: with SQLite, their routes answer 503
    std::string database = "sqlite:";        // "sqlite:" (files in `data`) or a postgresql:// address
    int databaseConnections = 8;             // PostgreSQL: the most connections this server opens
    bool metrics = false;                    // install GET /metrics
    std::vector<std::string> trustedProxies; // front ends whose X-Real-IP names the client
    int tokenLifetimeSeconds = 300;          // how long a login token stays valid
    bool testRoutes = false;                 // install the routes that hang, trickle, cut or switch behaviour
    ServiceLimits limits;
};

// The outcome of reading the command line: options, or a message for the user.
struct ParsedOptions {
    std::optional<ServerOptions> options;
    std::string error;
};

// Reads `--root DIR`, `--listen ADDR:PORT` or `--port N`, any number of `--redirect /from=/to`,
// `--data DIR`, `--database URL`, `--database-connections N`, `--metrics`, any number of
// `--trusted-proxy ADDR`, `--token-lifetime SECONDS`, `--test-routes` and the limits listed by
// ServerUsage().
ParsedOptions ParseServerOptions(const std::vector<std::string>& arguments);

// One line per option, for --help and for errors.
std::string ServerUsage();

// "ADDR:PORT" ("127.0.0.1:8620", "[::1]:8620", "0.0.0.0:0") split into its address (without
// brackets) and port; nullopt when it is not of that form.
std::optional<std::pair<std::string, int>> ParseListenAddress(const std::string& text);

} // namespace qm::server
