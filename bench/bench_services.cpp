// The account and logging services under load, side by side in one run: SQLite with one server,
// PostgreSQL with one server, and PostgreSQL with two servers behind nginx. For logins (the
// default hash cost), token redirects and usage files stored: requests per second and p50 / p99
// latency at 1, 16 and 64 concurrent clients, with the errors counted; then whether every stored
// usage file was counted exactly once.
//
//   bench_services [SECONDS] [--rounds N] [--only logins|tokens|usage]... [--baseline PROGRAM]
//
// SECONDS (default 3) is how long each figure is measured in each round. The columns take their
// turns figure by figure, and with --rounds N the whole turn is made N times and the figures are
// pooled over the rounds, so that a load that comes and goes on the machine falls on every column
// alike. --only measures the named workloads alone. --baseline PROGRAM adds a column of one server
// of another build (an earlier commit's qm-reference-server) on PostgreSQL, for before and after
// figures from one run.
//
// It starts everything itself, on free ports of 127.0.0.1: a PostgreSQL cluster in a temporary
// folder (fsync on, as deployed), the servers (their access logs go to a file, as a deployment's
// go to the journal) and nginx (bench/setup installs it; without it the third column is left
// out). Each client is a thread with one keep-alive connection that sends its next request as
// soon as the answer is in. The servers get limits that let one machine's clients through:
// 256 connections per client address and 100000 failed logins per address; each client logs in
// as a user of its own.
#include "tests/support/FreePort.h"
#include "tests/support/PostgresCluster.h"
#include "tests/support/ReferenceServer.h"
#include "tests/support/TempFolder.h"

#include <algorithm>
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
#include <nlohmann/json.hpp>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using qm::test::FreePort;
using qm::test::PostgresCluster;
using qm::test::ReferenceServer;
using qm::test::TTempFolder;

const int kClientCounts[] = {1, 16, 64};
const char* const kWorkloads[] = {"logins", "token redirects", "usage files"};
constexpr const char* kPassword = "bench-password-1";

// The requests of one figure, pooled over its rounds.
struct Figure {
    std::vector<double> latenciesMs;
    double seconds = 0; // from the first request's start to the last answer, summed over rounds
    long errors = 0;

    void Add(const Figure& round) {
        latenciesMs.insert(latenciesMs.end(), round.latenciesMs.begin(), round.latenciesMs.end());
        seconds += round.seconds;
        errors += round.errors;
    }
    double PerSecond() const { return seconds > 0 ? static_cast<double>(latenciesMs.size()) / seconds : 0; }
    // The latency below which `share` of the requests were answered; latenciesMs must be sorted.
    double Percentile(double share) const {
        if (latenciesMs.empty())
            return 0;
        const auto index = static_cast<std::size_t>(static_cast<double>(latenciesMs.size()) * share);
        return latenciesMs[std::min(latenciesMs.size() - 1, index)];
    }
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
    Figure figure;
    for (const auto& mine : latencies)
        figure.latenciesMs.insert(figure.latenciesMs.end(), mine.begin(), mine.end());
    figure.errors = errors;
    figure.seconds =
        std::chrono::duration<double>(Clock::duration(lastEnd.load()) - start.time_since_epoch()).count();
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
    return {"--connections-per-client", "256",       "--address-failures", "100000",
            "--trusted-proxy",          "127.0.0.1", "--metrics"};
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

std::string Cell(Figure figure) {
    std::sort(figure.latenciesMs.begin(), figure.latenciesMs.end());
    char text[64];
    std::snprintf(text, sizeof text, "%8.0f %7.1f %7.1f %4ld", figure.PerSecond(), figure.Percentile(0.5),
                  figure.Percentile(0.99), figure.errors);
    return text;
}

struct BenchOptions {
    double seconds = 3;
    int rounds = 1;
    std::vector<std::string> workloads; // empty: all
    std::string baseline;               // another build of the server; empty: none
};

// The command line; nullopt (after a message) when it is not understood.
std::optional<BenchOptions> ReadOptions(int argc, char** argv) {
    const std::map<std::string, std::string> workloadNames{
        {"logins", kWorkloads[0]}, {"tokens", kWorkloads[1]}, {"usage", kWorkloads[2]}};
    BenchOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool valued = i + 1 < argc;
        if (argument == "--rounds" && valued) {
            options.rounds = std::max(1, std::atoi(argv[++i]));
        } else if (argument == "--only" && valued && workloadNames.count(argv[i + 1])) {
            options.workloads.push_back(workloadNames.at(argv[++i]));
        } else if (argument == "--baseline" && valued) {
            options.baseline = argv[++i];
        } else if (i == 1 && std::atof(argv[i]) > 0) {
            options.seconds = std::atof(argv[i]);
        } else {
            std::fprintf(stderr,
                         "usage: bench_services [SECONDS] [--rounds N] [--only logins|tokens|usage]... "
                         "[--baseline PROGRAM]\n");
            return std::nullopt;
        }
    }
    if (options.workloads.empty())
        options.workloads.assign(std::begin(kWorkloads), std::end(kWorkloads));
    return options;
}

// The columns: SQLite with one server, PostgreSQL with one (and the baseline build's one), and
// PostgreSQL with two behind nginx when nginx is installed.
std::vector<Setup> StartSetups(const std::filesystem::path& folder, PostgresCluster& cluster,
                               const BenchOptions& bench) {
    std::vector<Setup> setups;
    const auto single = [&](const char* name, std::vector<std::string> extra, const std::string& program) {
        Setup setup{name, {}, {}, {}};
        auto options = ServerOptions();
        options.insert(options.end(), extra.begin(), extra.end());
        setup.servers.push_back(std::make_unique<ReferenceServer>(folder, options, program));
        setup.base = setup.servers[0]->BaseURL();
        setups.push_back(std::move(setup));
    };
    single("SQLite, 1 server", {"--data", (folder / "data").string()}, {});
    single("PostgreSQL, 1 server", {"--database", cluster.NewDatabase()}, {});
    if (!bench.baseline.empty())
        single("PostgreSQL, 1, baseline build", {"--database", cluster.NewDatabase()}, bench.baseline);
    if (std::filesystem::exists("/usr/sbin/nginx")) {
        Setup pair{"PostgreSQL, 2 servers + nginx", {}, {}, {}};
        auto options = ServerOptions();
        options.insert(options.end(), {"--database", cluster.NewDatabase()});
        std::vector<int> ports;
        for (int i = 0; i < 2; ++i) {
            pair.servers.push_back(std::make_unique<ReferenceServer>(folder, options));
            ports.push_back(pair.servers.back()->Port());
        }
        pair.front = std::make_unique<NginxFront>(folder, ports);
        pair.base = pair.front->Base();
        setups.push_back(std::move(pair));
    } else {
        std::fprintf(stdout, "nginx is not installed (bash bench/setup): its column is left out\n");
    }
    return setups;
}

using Figures = std::map<std::tuple<std::string, int, std::size_t>, Figure>;

void PrintTable(const std::vector<Setup>& setups, const std::vector<std::string>& workloads,
                const Figures& figures) {
    std::printf("%-20s", "");
    for (const Setup& setup : setups)
        std::printf(" | %-29s", setup.name.c_str());
    std::printf("\n%-20s", "workload   clients");
    for (std::size_t s = 0; s < setups.size(); ++s)
        std::printf(" | %8s %7s %7s %4s", "/s", "p50", "p99", "err");
    std::printf("\n");
    for (const std::string& workload : workloads) {
        for (const int clients : kClientCounts) {
            std::printf("%-16s %3d", clients == 1 ? workload.c_str() : "", clients);
            for (std::size_t s = 0; s < setups.size(); ++s)
                std::printf(" | %s", Cell(figures.at({workload, clients, s})).c_str());
            std::printf("\n");
        }
    }
}

// A counter of the server's metrics; -1 when it has none of that name.
long Metric(const ReferenceServer& server, const std::string& name) {
    const auto answer = httplib::Client(server.BaseURL()).Get("/metrics");
    const std::string body = answer ? answer->body : "";
    const auto at = body.find("\n" + name + " ");
    return at == std::string::npos ? -1 : std::atol(body.c_str() + at + name.size() + 2);
}

// Usage files stored over the transactions that stored them, summed over the setup's servers.
std::string FilesPerCommit(const Setup& setup) {
    long files = 0;
    long commits = 0;
    for (const auto& server : setup.servers) {
        files += Metric(*server, "qm_usage_files_stored_total");
        commits += Metric(*server, "qm_usage_commits_total");
    }
    char text[32] = "-";
    if (commits > 0)
        std::snprintf(text, sizeof text, "%.1f", static_cast<double>(files) / static_cast<double>(commits));
    return text;
}

void PrintStoredOnce(const std::vector<Setup>& setups, const std::vector<long>& storedFiles) {
    std::printf("\nusage files answered #00 against files and counts stored (each file holds 4 uses):\n");
    for (std::size_t s = 0; s < setups.size(); ++s) {
        httplib::Client client(setups[s].base);
        const auto answer = client.Get("/log/summary");
        const nlohmann::json summary =
            answer ? nlohmann::json::parse(answer->body) : nlohmann::json::object();
        const long files = summary.value("files", 0L);
        const long total = summary.value("total", 0L);
        std::printf("  %-30s %8ld answered, %8ld stored, %9ld uses counted: %s; %s files per commit\n",
                    setups[s].name.c_str(), storedFiles[s], files, total,
                    files == storedFiles[s] && total == 4 * files ? "each once" : "MISMATCH",
                    FilesPerCommit(setups[s]).c_str());
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::optional<BenchOptions> bench = ReadOptions(argc, argv);
    if (!bench)
        return 2;
    std::signal(SIGPIPE, SIG_IGN);
    TTempFolder folder("qm_bench_services");
    std::filesystem::create_directories(folder.Path() / "data");
    // The servers' access logs go to a file: the children inherit this stderr.
    const int terminal = dup(STDERR_FILENO);
    const int log = open(folder.File("servers.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(log, STDERR_FILENO);
    PostgresCluster cluster(true);
    std::vector<Setup> setups = StartSetups(folder.Path(), cluster, *bench);
    dup2(terminal, STDERR_FILENO);

    const std::string loadBefore = LoadAverage();
    Figures figures;
    std::vector<long> storedFiles(setups.size(), 0);
    const bool usageOnly = std::all_of(bench->workloads.begin(), bench->workloads.end(),
                                       [](const std::string& workload) { return workload == kWorkloads[2]; });
    if (!usageOnly) // logins and tokens need the users
        for (const Setup& setup : setups)
            RegisterUsers(setup.base);
    for (const std::string& workload : bench->workloads) {
        std::fprintf(stderr, "bench_services: %s...\n", workload.c_str());
        for (const int clients : kClientCounts) {
            for (int round = 0; round < bench->rounds; ++round) {
                for (std::size_t s = 0; s < setups.size(); ++s)
                    figures[{workload, clients, s}].Add(
                        Measure(setups[s], workload, clients, bench->seconds, storedFiles[s]));
            }
        }
    }

    std::printf("\nbench_services: %g s per figure and round, %d round(s), %u CPUs, load average %s before "
                "and %s after;\nper figure: requests/s, p50 and p99 in ms, errors\n\n",
                bench->seconds, bench->rounds, std::thread::hardware_concurrency(), loadBefore.c_str(),
                LoadAverage().c_str());
    PrintTable(setups, bench->workloads, figures);
    PrintStoredOnce(setups, storedFiles);
    std::printf("\nerrors, by what came instead:\n");
    errorTally.Print();
    return 0;
}
