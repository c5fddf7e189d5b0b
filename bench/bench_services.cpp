// The account and logging services under load, side by side in one run: SQLite with one server,
// PostgreSQL with one server, and PostgreSQL with two servers behind nginx. For logins (the
// default hash cost), token redirects and usage files stored: requests per second and p50 / p99
// latency at 1, 16 and 64 concurrent clients, with the errors counted; then whether every stored
// usage file was counted exactly once.
//
//   bench_services [SECONDS]   (default 3: how long each figure is measured)
//
// It starts everything itself, on free ports of 127.0.0.1: a PostgreSQL cluster in a temporary
// folder (fsync on, as deployed), the servers (their access logs go to a file, as a deployment's
// go to the journal) and nginx (bench/setup installs it; without it the third column is left
// out). Each client is a thread with one keep-alive connection that sends its next request as
// soon as the answer is in. The servers get limits that let one machine's clients through:
// 256 connections per client address and 100000 failed logins per address; each client logs in
// as a user of its own.
#include "tests/support/PostgresCluster.h"
#include "tests/support/ReferenceServer.h"
#include "tests/support/TempFolder.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <httplib.h>
#include <map>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <nlohmann/json.hpp>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using qm::test::PostgresCluster;
using qm::test::ReferenceServer;
using qm::test::TTempFolder;

const int kClientCounts[] = {1, 16, 64};
const char* const kWorkloads[] = {"logins", "token redirects", "usage files"};
constexpr const char* kPassword = "bench-password-1";

struct Figure {
    double perSecond = 0;
    double p50Ms = 0;
    double p99Ms = 0;
    long errors = 0;
    long done = 0;
};

// Why requests failed, for the lines under the table.
class ErrorTally {
public:
    // True when the answer has the status (and body, when given); otherwise counts what came.
    bool Expect(const std::string& workload, const httplib::Result& answer, int status,
                const char* body = nullptr) {
        if (answer && answer->status == status && (!body || answer->body == body))
            return true;
        const std::string what =
            workload + ": " +
            (answer ? "HTTP " + std::to_string(answer->status) + " " + answer->body.substr(0, 60)
                    : "no answer (" + httplib::to_string(answer.error()) + ")");
        const std::lock_guard lock(mutex_);
        ++counts_[what];
        return false;
    }
    void Print() {
        for (const auto& [what, count] : counts_)
            std::printf("  %6ld x %s\n", count, what.c_str());
    }

private:
    std::mutex mutex_;
    std::map<std::string, long> counts_;
};

ErrorTally errorTally;

std::string LoadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

int FreePort() {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    close(probe);
    return ntohs(address.sin_port);
}

std::string UsageText(int count) {
    return nlohmann::json{{"FProductID", "1"},
                          {"FProductVer", "1.0"},
                          {"FProductRegNO", "QM-BENCH"},
                          {"FAccountName", "0"},
                          {"FAccountUser", "0"},
                          {"FBKUser", "bench"},
                          {"FAdditionalInfo", "0"},
                          {"FOperationDays",
                           {{{"FOperationDay", "20261209"},
                             {"FFunctions",
                              {{{"FFunctionKey", "S2S007"}, {"FOperationCount", std::to_string(count)}},
                               {{"FFunctionKey", "S2S008"}, {"FOperationCount", "1"}}}}}}}}
        .dump();
}

// `clients` threads send requests for `seconds` (or until `request` says there is nothing left);
// `request` answers whether the answer was the one expected, or nullopt when it had nothing to send.
using Request = std::function<std::optional<bool>(httplib::Client&, int client, long sequence)>;

Figure RunLoad(const std::string& base, int clients, double seconds, const Request& request) {
    std::vector<std::vector<double>> latencies(static_cast<std::size_t>(clients));
    std::atomic<long> errors{0};
    std::vector<std::thread> threads;
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::duration<double>(seconds);
    std::atomic<Clock::rep> lastEnd{start.time_since_epoch().count()};
    for (int client = 0; client < clients; ++client) {
        threads.emplace_back([&, client] {
            httplib::Client connection(base);
            connection.set_keep_alive(true);
            connection.set_tcp_nodelay(true);
            connection.set_read_timeout(std::chrono::seconds(120));
            auto& mine = latencies[static_cast<std::size_t>(client)];
            for (long sequence = 0; Clock::now() < deadline; ++sequence) {
                const auto began = Clock::now();
                const std::optional<bool> answered = request(connection, client, sequence);
                if (!answered)
                    break;
                const auto ended = Clock::now();
                mine.push_back(std::chrono::duration<double, std::milli>(ended - began).count());
                if (!*answered)
                    ++errors;
                Clock::rep seen = lastEnd.load();
                while (ended.time_since_epoch().count() > seen &&
                       !lastEnd.compare_exchange_weak(seen, ended.time_since_epoch().count())) {
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    std::vector<double> all;
    for (const auto& mine : latencies)
        all.insert(all.end(), mine.begin(), mine.end());
    std::sort(all.begin(), all.end());
    Figure figure;
    figure.done = static_cast<long>(all.size());
    figure.errors = errors;
    const double took =
        std::chrono::duration<double>(Clock::duration(lastEnd.load()) - start.time_since_epoch()).count();
    if (!all.empty() && took > 0) {
        figure.perSecond = static_cast<double>(all.size()) / took;
        figure.p50Ms = all[all.size() / 2];
        figure.p99Ms = all[std::min(all.size() - 1, all.size() * 99 / 100)];
    }
    return figure;
}

// nginx in front of the servers, as docs/deploy.md sets it up (without TLS: the bench measures the
// servers behind it), in the foreground as one process of this user.
class NginxFront {
public:
    NginxFront(const std::filesystem::path& folder, const std::vector<int>& upstreams) : port_(FreePort()) {
        std::string servers;
        for (const int upstream : upstreams)
            servers += "        server 127.0.0.1:" + std::to_string(upstream) + " max_fails=0;\n";
        const std::string dir = folder.string();
        std::ofstream(folder / "nginx.conf")
            << "daemon off;\nmaster_process off;\npid " << dir << "/nginx.pid;\nerror_log " << dir
            << "/nginx-error.log warn;\nevents { worker_connections 4096; }\nhttp {\n"
            << "    access_log off;\n    client_body_temp_path " << dir << "/body;\n    proxy_temp_path "
            << dir << "/proxy;\n    fastcgi_temp_path " << dir << "/fastcgi;\n    uwsgi_temp_path " << dir
            << "/uwsgi;\n    scgi_temp_path " << dir << "/scgi;\n"
            << "    upstream quillmere {\n"
            << servers << "        keepalive 128;\n    }\n"
            << "    server {\n        listen 127.0.0.1:" << port_ << ";\n        client_max_body_size 1m;\n"
            << "        location / {\n            proxy_pass http://quillmere;\n"
            << "            proxy_http_version 1.1;\n            proxy_set_header Connection \"\";\n"
            << "            proxy_set_header Host $host;\n            proxy_set_header X-Real-IP "
               "$remote_addr;\n"
            << "        }\n    }\n}\n";
        pid_ = fork();
        if (pid_ == 0) {
            execl("/usr/sbin/nginx", "nginx", "-p", dir.c_str(), "-c", (dir + "/nginx.conf").c_str(),
                  nullptr);
            _exit(127);
        }
        for (int i = 0; i < 200; ++i) {
            httplib::Client probe("127.0.0.1", port_);
            if (probe.Get("/healthz"))
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        throw std::runtime_error("nginx did not start: see " + dir + "/nginx-error.log");
    }
    ~NginxFront() {
        kill(pid_, SIGQUIT);
        waitpid(pid_, nullptr, 0);
    }
    std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_); }

private:
    int port_;
    pid_t pid_ = -1;
};

// One column: its servers, the address the clients use, and its users.
struct Setup {
    std::string name;
    std::vector<std::unique_ptr<ReferenceServer>> servers;
    std::unique_ptr<NginxFront> front;
    std::string base;
};

std::vector<std::string> ServerOptions() {
    return {"--connections-per-client", "256",      "--address-failures", "100000",
            "--trusted-proxy",          "127.0.0.1"};
}

// One user per client; as many at once as a server has hash slots, and each answer awaited, so
// that no registration is still hashing when the logins are measured.
void RegisterUsers(const std::string& base) {
    std::atomic<int> next{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&] {
            httplib::Client connection(base);
            connection.set_read_timeout(std::chrono::seconds(120));
            for (int client = next++; client < 64; client = next++) {
                const nlohmann::json body{{"userName", "bench" + std::to_string(client)},
                                          {"password", kPassword},
                                          {"email", "b@bench.test"}};
                const auto answer = connection.Post("/account/register", body.dump(), "application/json");
                if (!answer || (answer->status != 200 && answer->status != 409))
                    std::fprintf(stderr, "bench_services: registering bench%d failed\n", client);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
}

std::vector<std::string> MintTokens(const std::string& base, std::size_t count) {
    httplib::Client login(base);
    const auto answer =
        login.Post("/account/login", nlohmann::json{{"userName", "bench0"}, {"password", kPassword}}.dump(),
                   "application/json");
    const std::string session = answer ? nlohmann::json::parse(answer->body).value("session", "") : "";
    std::vector<std::string> tokens(count);
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 16; ++t) {
        threads.emplace_back([&] {
            httplib::Client connection(base);
            connection.set_keep_alive(true);
            connection.set_tcp_nodelay(true);
            connection.set_read_timeout(std::chrono::seconds(60));
            const std::string body = nlohmann::json{{"session", session}}.dump();
            for (std::size_t i = next++; i < count; i = next++) {
                const auto made = connection.Post("/account/token", body, "application/json");
                tokens[i] =
                    made && made->status == 200 ? nlohmann::json::parse(made->body).value("token", "") : "";
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    return tokens;
}

Figure Measure(Setup& setup, const std::string& workload, int clients, double seconds, long& storedFiles) {
    const std::string base = setup.base;
    if (workload == "logins") {
        return RunLoad(base, clients, seconds,
                       [](httplib::Client& connection, int client, long) -> std::optional<bool> {
                           const std::string body = nlohmann::json{
                               {"userName", "bench" + std::to_string(client)},
                               {"password", kPassword}}.dump();
                           return errorTally.Expect(
                               "logins", connection.Post("/account/login", body, "application/json"), 200);
                       });
    }
    if (workload == "token redirects") {
        const auto tokens = std::make_shared<std::vector<std::string>>(
            MintTokens(base, static_cast<std::size_t>(seconds * (clients == 1 ? 2500 : 6000))));
        const auto next = std::make_shared<std::atomic<std::size_t>>(0);
        return RunLoad(base, clients, seconds,
                       [tokens, next](httplib::Client& connection, int, long) -> std::optional<bool> {
                           const std::size_t index = (*next)++;
                           if (index >= tokens->size())
                               return std::nullopt;
                           const std::string path =
                               "/myaccount/loginSend.do?sendTo=http%253A%252F%252Fexample.test%252F&token=" +
                               (*tokens)[index];
                           return errorTally.Expect("token redirects", connection.Get(path.c_str()), 302);
                       });
    }
    static int round = 0;
    const std::string prefix = "r" + std::to_string(++round) + "-";
    const std::string text = UsageText(3);
    std::atomic<long> stored{0};
    const Figure figure =
        RunLoad(base, clients, seconds,
                [&](httplib::Client& connection, int client, long sequence) -> std::optional<bool> {
                    const std::string path =
                        "/log/usage?id=" + prefix + std::to_string(client) + "-" + std::to_string(sequence);
                    const bool ok = errorTally.Expect(
                        "usage files", connection.Post(path.c_str(), text, "application/json"), 200, "#00");
                    stored += ok;
                    return ok;
                });
    storedFiles += stored;
    return figure;
}

std::string Cell(const Figure& figure) {
    char text[64];
    std::snprintf(text, sizeof text, "%8.0f %7.1f %7.1f %4ld", figure.perSecond, figure.p50Ms, figure.p99Ms,
                  figure.errors);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    std::signal(SIGPIPE, SIG_IGN);
    TTempFolder folder("qm_bench_services");
    std::filesystem::create_directories(folder.Path() / "data");
    // The servers' access logs go to a file: the children inherit this stderr.
    const int terminal = dup(STDERR_FILENO);
    const int log = open(folder.File("servers.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(log, STDERR_FILENO);

    PostgresCluster cluster(true);
    std::vector<Setup> setups;
    {
        Setup sqlite{"SQLite, 1 server", {}, {}, {}};
        auto options = ServerOptions();
        options.insert(options.end(), {"--data", (folder.Path() / "data").string()});
        sqlite.servers.push_back(std::make_unique<ReferenceServer>(folder.Path(), options));
        sqlite.base = sqlite.servers[0]->BaseURL();
        setups.push_back(std::move(sqlite));
    }
    {
        Setup postgres{"PostgreSQL, 1 server", {}, {}, {}};
        auto options = ServerOptions();
        options.insert(options.end(), {"--database", cluster.NewDatabase()});
        postgres.servers.push_back(std::make_unique<ReferenceServer>(folder.Path(), options));
        postgres.base = postgres.servers[0]->BaseURL();
        setups.push_back(std::move(postgres));
    }
    if (std::filesystem::exists("/usr/sbin/nginx")) {
        Setup pair{"PostgreSQL, 2 servers + nginx", {}, {}, {}};
        auto options = ServerOptions();
        options.insert(options.end(), {"--database", cluster.NewDatabase()});
        std::vector<int> ports;
        for (int i = 0; i < 2; ++i) {
            pair.servers.push_back(std::make_unique<ReferenceServer>(folder.Path(), options));
            ports.push_back(pair.servers.back()->Port());
        }
        pair.front = std::make_unique<NginxFront>(folder.Path(), ports);
        pair.base = pair.front->Base();
        setups.push_back(std::move(pair));
    } else {
        std::fprintf(stdout, "nginx is not installed (bash bench/setup): the third column is left out\n");
    }
    dup2(terminal, STDERR_FILENO);

    const std::string loadBefore = LoadAverage();
    std::map<std::tuple<std::string, int, std::size_t>, Figure> figures;
    std::vector<long> storedFiles(setups.size(), 0);
    for (std::size_t s = 0; s < setups.size(); ++s) {
        std::fprintf(stderr, "bench_services: %s...\n", setups[s].name.c_str());
        RegisterUsers(setups[s].base);
        for (const char* workload : kWorkloads) {
            for (const int clients : kClientCounts)
                figures[{workload, clients, s}] =
                    Measure(setups[s], workload, clients, seconds, storedFiles[s]);
        }
    }

    std::printf("\nbench_services: %.0f s per figure, %u CPUs, load average %s before and %s after;\n"
                "per figure: requests/s, p50 and p99 in ms, errors\n\n",
                seconds, std::thread::hardware_concurrency(), loadBefore.c_str(), LoadAverage().c_str());
    std::printf("%-20s", "");
    for (const Setup& setup : setups)
        std::printf(" | %-29s", setup.name.c_str());
    std::printf("\n%-20s", "workload   clients");
    for (std::size_t s = 0; s < setups.size(); ++s)
        std::printf(" | %8s %7s %7s %4s", "/s", "p50", "p99", "err");
    std::printf("\n");
    for (const char* workload : kWorkloads) {
        for (const int clients : kClientCounts) {
            std::printf("%-16s %3d", clients == 1 ? workload : "", clients);
            for (std::size_t s = 0; s < setups.size(); ++s)
                std::printf(" | %s", Cell(figures[{workload, clients, s}]).c_str());
            std::printf("\n");
        }
    }
    std::printf("\nusage files answered #00 against files and counts stored (each file holds 4 uses):\n");
    for (std::size_t s = 0; s < setups.size(); ++s) {
        httplib::Client client(setups[s].base);
        const auto answer = client.Get("/log/summary");
        const nlohmann::json summary =
            answer ? nlohmann::json::parse(answer->body) : nlohmann::json::object();
        const long files = summary.value("files", 0L);
        const long total = summary.value("total", 0L);
        std::printf("  %-30s %8ld answered, %8ld stored, %9ld uses counted: %s\n", setups[s].name.c_str(),
                    storedFiles[s], files, total,
                    files == storedFiles[s] && total == 4 * files ? "each once" : "MISMATCH");
    }
    std::printf("\nerrors, by what came instead:\n");
    errorTally.Print();
    return 0;
}
