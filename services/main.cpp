// qm-reference-server: the outside services (update files, the account service and the logging service)
// that the tests and the sample installation talk to. It listens on 127.0.0.1 only, prints
// "listening on 127.0.0.1:PORT" as its one line on stdout (diagnostics go to stderr), and stops
// cleanly on SIGTERM or SIGINT.
#include "services/AccessLog.h"
#include "services/AccountRoutes.h"
#include "services/EchoRoute.h"
#include "services/ErrorPages.h"
#include "services/FileRoutes.h"
#include "services/GuardedServer.h"
#include "services/LogRoutes.h"
#include "services/RequestGate.h"
#include "services/ServerOptions.h"

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

constexpr const char* kHost = "127.0.0.1";

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

    GuardedServer server(options.limits);
    InstallRequestGate(server, options.limits);
    server.set_logger([](const httplib::Request& request, const httplib::Response& response) {
        std::cerr << request.method << " " << qm::server::LoggedTarget(request.path, request.target) << " -> "
                  << response.status << "\n";
    });
    qm::server::InstallErrorPages(server);
    const auto stopping = std::make_shared<qm::server::StopLatch>();
    // Route groups with fixed paths go here, before the file routes, which match every path.
    try {
        qm::server::AddAccountRoutes(server,
                                     {options.data, std::chrono::seconds(options.tokenLifetimeSeconds),
                                      stopping, options.testRoutes, options.limits});
        qm::server::AddLogRoutes(server, {options.data, stopping, options.testRoutes,
                                          static_cast<std::size_t>(options.limits.maxUsageBodyBytes)});
    } catch (const std::runtime_error& error) {
        std::cerr << "qm-reference-server: " << error.what() << std::endl;
        return 1;
    }
    if (options.testRoutes)
        qm::server::AddEchoRoute(server);
    qm::server::AddFileRoutes(server, {options.root, options.redirects, options.testRoutes});

    int port = options.port;
    if (port == 0) {
        port = server.bind_to_any_port(kHost);
    } else if (!server.bind_to_port(kHost, port)) {
        port = -1;
    }
    if (port <= 0) {
        std::cerr << "qm-reference-server: cannot listen on " << kHost << ":" << options.port << std::endl;
        return 1;
    }

    stopSignals.Start(server, *stopping);
    std::printf("listening on %s:%d\n", kHost, port);
    std::fflush(stdout);
    const bool listened = server.listen_after_bind();
    stopping->Release();
    stopSignals.Release();
    return listened ? 0 : 1;
}
