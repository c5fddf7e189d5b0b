#include "tests/support/PostgresCluster.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <libpq-fe.h>
#include <memory>
#include <netinet/in.h>
#include <pwd.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace qm::test {

namespace {

constexpr const char* kUnprivilegedUser = "nobody";
constexpr auto kStartTimeout = std::chrono::seconds(60);

// The newest installed server's programs (Debian keeps them in /usr/lib/postgresql/VERSION/bin).
std::filesystem::path FindBinaries() {
    std::filesystem::path best;
    int bestVersion = -1;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", error)) {
        const int version = std::atoi(entry.path().filename().c_str());
        if (version > bestVersion && std::filesystem::exists(entry.path() / "bin" / "postgres")) {
            bestVersion = version;
            best = entry.path() / "bin";
        }
    }
    if (best.empty())
        throw std::runtime_error("PostgreSQL is not installed (no /usr/lib/postgresql/*/bin/postgres): "
                                 "scripts/setup installs it");
    return best;
}

// The account the cluster runs as: nobody when we are root, else ourselves.
struct RunAs {
    bool switchUser = false;
    uid_t uid = 0;
    gid_t gid = 0;
};

RunAs Unprivileged() {
    if (geteuid() != 0)
        return {};
    const passwd* user = getpwnam(kUnprivilegedUser);
    if (!user)
        throw std::runtime_error(std::string("no user ") + kUnprivilegedUser + " to run PostgreSQL as");
    return {true, user->pw_uid, user->pw_gid};
}

int FreePort() {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (probe < 0 || bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (probe >= 0)
            close(probe);
        throw std::runtime_error("no free port for PostgreSQL");
    }
    close(probe);
    return ntohs(address.sin_port);
}

// Starts a program as the unprivileged user, its output appended to `log`. With `dieWithUs` it
// is stopped (immediate shutdown) when this process ends.
pid_t Spawn(const std::vector<std::string>& arguments, const std::filesystem::path& log, bool dieWithUs) {
    const std::string folder = log.parent_path().string();
    const RunAs user = Unprivileged();
    std::vector<std::string> copy = arguments;
    std::vector<char*> argv;
    for (std::string& argument : copy)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const std::string logFile = log.string();
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("cannot fork for " + arguments.front());
    if (child == 0) {
        // Only async-signal-safe calls between fork and exec.
        const int output = open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (output >= 0) {
            dup2(output, STDOUT_FILENO);
            dup2(output, STDERR_FILENO);
        }
        if (user.switchUser && (setgroups(0, nullptr) != 0 || setgid(user.gid) != 0 || setuid(user.uid) != 0))
            _exit(126);
        // After the user change, which clears it.
        if (dieWithUs && (prctl(PR_SET_PDEATHSIG, SIGQUIT) != 0 || getppid() != parent))
            _exit(125);
        // A working folder the user may enter (the test's may be closed to it).
        if (chdir(folder.c_str()) != 0)
            _exit(124);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return child;
}

int WaitFor(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadLog(const std::filesystem::path& log) {
    std::FILE* file = std::fopen(log.c_str(), "r");
    if (!file)
        return {};
    std::string text;
    char buffer[4096];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, count);
    std::fclose(file);
    return text.size() > 2000 ? text.substr(text.size() - 2000) : text;
}

std::string Address(int port, const std::string& database) {
    return "postgresql://qm@127.0.0.1:" + std::to_string(port) + "/" + database;
}

} // namespace

bool TestsUsePostgres() {
    const char* choice = std::getenv("QM_TEST_DATABASE");
    return choice && std::string(choice) == "postgresql";
}

PostgresCluster::PostgresCluster(bool durable)
    : durable_(durable), binaries_(FindBinaries()), owner_(getpid()) {
    std::string pattern = (std::filesystem::path("/tmp") / "qm_postgres_XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a folder for PostgreSQL");
    folder_ = pattern;
    const RunAs user = Unprivileged();
    if (user.switchUser && chown(folder_.c_str(), user.uid, user.gid) != 0) {
        std::filesystem::remove_all(folder_);
        throw std::runtime_error("cannot hand " + folder_.string() + " to " + kUnprivilegedUser);
    }
    try {
        const std::filesystem::path log = folder_ / "initdb.log";
        const int made = WaitFor(
            Spawn({(binaries_ / "initdb").string(), "--pgdata", (folder_ / "data").string(), "--username",
                   "qm", "--auth", "trust", "--encoding", "UTF8", "--no-locale", "--no-sync"},
                  log, false));
        if (made != 0)
            throw std::runtime_error("initdb failed: " + ReadLog(log));
        Start();
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
        throw;
    }
}

PostgresCluster::~PostgresCluster() {
    if (getpid() != owner_)
        return;
    Stop();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void PostgresCluster::Start() {
    if (server_ > 0)
        return;
    const std::filesystem::path log = folder_ / "server.log";
    for (int attempt = 1;; ++attempt) {
        if (port_ == 0 || attempt > 1)
            port_ = FreePort();
        std::vector<std::string> arguments{(binaries_ / "postgres").string(),
                                           "-D",
                                           (folder_ / "data").string(),
                                           "-p",
                                           std::to_string(port_),
                                           "-k",
                                           folder_.string(),
                                           "-c",
                                           "listen_addresses=127.0.0.1",
                                           "-c",
                                           "max_connections=200"};
        if (!durable_) {
            for (const char* setting : {"fsync=off", "synchronous_commit=off", "full_page_writes=off"})
                arguments.insert(arguments.end(), {"-c", setting});
        }
        server_ = Spawn(arguments, log, true);
        const std::string address = Address(port_, "postgres");
        const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (PQping(address.c_str()) == PQPING_OK)
                return;
            int status = 0;
            if (waitpid(server_, &status, WNOHANG) == server_) {
                server_ = -1;
                break; // ended: perhaps the port was taken meanwhile
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        Stop();
        if (attempt == 3)
            throw std::runtime_error("PostgreSQL did not start: " + ReadLog(log));
    }
}

void PostgresCluster::Stop() {
    if (server_ <= 0)
        return;
    kill(server_, SIGINT); // fast shutdown
    WaitFor(server_);
    server_ = -1;
}

std::string PostgresCluster::NewDatabase() {
    const std::string name = "qm_" + std::to_string(++databases_);
    std::unique_ptr<PGconn, decltype(&PQfinish)> connection(PQconnectdb(Address(port_, "postgres").c_str()),
                                                            &PQfinish);
    if (PQstatus(connection.get()) != CONNECTION_OK)
        throw std::runtime_error(std::string("cannot reach the test cluster: ") +
                                 PQerrorMessage(connection.get()));
    std::unique_ptr<PGresult, decltype(&PQclear)> created(
        PQexec(connection.get(), ("CREATE DATABASE " + name).c_str()), &PQclear);
    if (PQresultStatus(created.get()) != PGRES_COMMAND_OK)
        throw std::runtime_error(std::string("cannot create a database: ") +
                                 PQerrorMessage(connection.get()));
    return Address(port_, name);
}

std::string QueryText(const std::string& databaseUrl, const std::string& sql) {
    std::unique_ptr<PGconn, decltype(&PQfinish)> connection(PQconnectdb(databaseUrl.c_str()), &PQfinish);
    std::unique_ptr<PGresult, decltype(&PQclear)> result(PQexec(connection.get(), sql.c_str()), &PQclear);
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK)
        throw std::runtime_error(std::string("query failed: ") + PQerrorMessage(connection.get()));
    std::string text;
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        for (int column = 0; column < PQnfields(result.get()); ++column)
            text += std::string(column ? "|" : "") + PQgetvalue(result.get(), row, column);
        text += "\n";
    }
    return text;
}

PostgresCluster& PostgresCluster::Shared() {
    static PostgresCluster cluster;
    return cluster;
}

} // namespace qm::test
