// qm-reference-server: the outside services (update files, the account service and the logging service)
// that the tests and the sample installation talk to. It listens on 127.0.0.1 unless told otherwise,
// prints "listening on ADDR:PORT" as its one line on stdout (diagnostics go to stderr), and stops
// cleanly on SIGTERM or SIGINT.
//
// `qm-reference-server migrate-data --data DIR --database URL` copies an SQLite data folder into an
// empty PostgreSQL database instead.
#include "services/AccessLog.h"
#include "services/AccountRoutes.h"
#include "services/DataMigration.h"
#include "services/EchoRoute.h"
#include "services/ErrorPages.h"
#include "services/FileRoutes.h"
#include "services/GuardedServer.h"
#include "services/HealthRoutes.h"
#include "services/LogRoutes.h"
#include "services/RequestGate.h"
#include "services/ServerMetrics.h"
#include "services/ServerOptions.h"
#include "services/ServiceDatabases.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <httplib.h>
#include <iostream>
#include <memory>
#include <pthread.h>
#include <stdexcept>
#include <thread>

namespace {

// migrate-data --data DIR --database URL
int MigrateDataCommand(const std::vector<std::string>& arguments) {
    std::string data;
    std::string url;
    for (std::size_t i = 0; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == "--data")
            data = arguments[i + 1];
        else if (arguments[i] == "--database")
            url = arguments[i + 1];
        else
            break;
    }
    if (data.empty() || url.empty() || arguments.size() != 4) {
        std::cerr << "usage: qm-reference-server migrate-data --data DIR --database postgresql://...\n"
                     "  copies the accounts and usage statistics of an SQLite data folder into an empty\n"
                     "  PostgreSQL database\n";
        return 2;
    }
    try {
        const qm::server::MigratedData copied = qm::server::MigrateData(data, url);
        std::cout << "copied " << copied.accounts << " accounts, " << copied.usageFiles << " usage files and "
                  << copied.usageCounts << " usage counts\n";
        return 0;
    } catch (const std::runtime_error& error) {
        std::cerr << "qm-reference-server migrate-data: " << error.what() << std::endl;
        return 1;
    }
}

// Stop signals are blocked in every thread and taken by one thread with sigwait, which may then
// call into the server freely (a signal handler could not).
class StopSignalWatcher {
public:
    StopSignalWatcher() {
        sigemptyset(&signals_);
        sigaddset(&signals_, SIGTERM);
        sigaddset(&signals_, SIGINT);
        pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
    }

    // Waits for a stop signal, then releases `stopping` and stops the server; once the server has
    // ended for another reason, Release() lets the watcher return.
    void Start(httplib::Server& server, qm::server::StopLatch& stopping) {
        watcher_ = std::thread([this, &server, &stopping] {
            int received = 0;
            sigwait(&signals_, &received);
            // Requests held on purpose end first: stopping the server waits for its workers.
            stopping.Release();
            // stop() only acts on a server that is already listening: wait for that, or for the end.
            while (!released_) {
                if (server.is_running()) {
                    server.stop();
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    }

    void Release() {
        released_ = true;
        if (watcher_.joinable()) {
            pthread_kill(watcher_.native_handle(), SIGTERM);
            watcher_.join();
        }
    }

    ~StopSignalWatcher() { Release(); }
    StopSignalWatcher(const StopSignalWatcher&) = delete;
    StopSignalWatcher& operator=(const StopSignalWatcher&) = delete;

private:
    sigset_t signals_{};
    std::atomic<bool> released_{false};
    std::thread watcher_;
};

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (!arguments.empty() && arguments.front() == "migrate-data")
        return MigrateDataCommand({arguments.begin() + 1, arguments.end()});
    const qm::server::ParsedOptions parsed = qm::server::ParseServerOptions(arguments);
    if (!parsed.options) {
        std::cerr << parsed.error << std::endl;
        return 2;
    }
    const qm::server::ServerOptions& options = *parsed.options;

    std::signal(SIGPIPE, SIG_IGN);
    StopSignalWatcher stopSignals; // before any thread starts, so that all inherit the mask
    using qm::server::GuardedServer;
    using qm::server::InstallRequestGate;

    // The databases first: a server that cannot reach them or bring them up to date does not start.
    qm::server::ServiceDatabases databases;
    if (!options.data.empty() || qm::server::IsPostgresUrl(options.database)) {
        try {
            databases = qm::server::OpenServiceDatabases({options.database, options.databaseConnections},
                                                         options.data);
        } catch (const std::runtime_error& error) {
            std::cerr << "qm-reference-server: " << error.what() << std::endl;
            return 1;
        }
    }

    GuardedServer server(options.limits, options.trustedProxies);
    InstallRequestGate(server, options.limits);
    const auto metrics = std::make_shared<qm::server::ServerMetrics>();
    server.set_logger([metrics](const httplib::Request& request, const httplib::Response& response) {
        const std::chrono::duration<double> took =
            std::chrono::steady_clock::now() - GuardedServer::RequestStarted();
        metrics->CountRequest(qm::server::RouteLabel(request.path), response.status, took.count());
        // One write per line: under load, lines of several workers stay whole and cost one call.
        std::cerr << (request.method + " " + qm::server::LoggedTarget(request.path, request.target) + " -> " +
                      std::to_string(response.status) + "\n");
    });
    qm::server::InstallErrorPages(server);
    const auto stopping = std::make_shared<qm::server::StopLatch>();
    // Route groups with fixed paths go here, before the file routes, which match every path.
    qm::server::AddAccountRoutes(
        server, {databases.accounts, options.data, std::chrono::seconds(options.tokenLifetimeSeconds),
                 stopping, options.testRoutes, options.limits, metrics, options.trustedProxies});
    qm::server::AddLogRoutes(server, {databases.usage, stopping, options.testRoutes,
                                      static_cast<std::size_t>(options.limits.maxUsageBodyBytes), metrics});
    std::vector<std::shared_ptr<qm::server::SqlDatabase>> answering;
    for (const auto& database : {databases.accounts, databases.usage}) {
        if (database && std::find(answering.begin(), answering.end(), database) == answering.end())
            answering.push_back(database);
    }
    qm::server::AddHealthRoutes(server, {answering, metrics, options.metrics});
    if (options.testRoutes)
        qm::server::AddEchoRoute(server);
    qm::server::AddFileRoutes(server, {options.root, options.redirects, options.testRoutes});

    const std::string& host = options.host;
    int port = options.port;
    if (port == 0) {
        port = server.bind_to_any_port(host);
    } else if (!server.bind_to_port(host, port)) {
        port = -1;
    }
    if (port <= 0) {
        std::cerr << "qm-reference-server: cannot listen on " << host << ":" << options.port << std::endl;
        return 1;
    }

    server.WidenListenBacklog();
    stopSignals.Start(server, *stopping);
    const bool bracketed = host.find(':') != std::string::npos;
    std::printf("listening on %s%s%s:%d\n", bracketed ? "[" : "", host.c_str(), bracketed ? "]" : "", port);
    std::fflush(stdout);
    const bool listened = server.listen_after_bind();
    stopping->Release();
    stopSignals.Release();
    return listened ? 0 : 1;
}
