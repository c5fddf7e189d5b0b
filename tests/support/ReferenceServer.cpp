#include "tests/support/ReferenceServer.h"

#include "tests/support/PostgresCluster.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qm::test {

namespace {

constexpr auto kStartTimeout = std::chrono::seconds(10);
constexpr auto kStopTimeout = std::chrono::seconds(5);
constexpr std::string_view kAnnouncement = "listening on ";

// Reads the first line the server prints, or fails when it does not come in time.
std::string ReadFirstLine(int fd) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            throw std::runtime_error("qm-reference-server did not announce its port in time");
        pollfd waiting{fd, POLLIN, 0};
        const int ready = poll(&waiting, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue;
        char buffer[256];
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            throw std::runtime_error("qm-reference-server ended before announcing its port: " + line);
        line.append(buffer, static_cast<std::size_t>(count));
    }
    return line.substr(0, line.find('\n'));
}

} // namespace

std::string ReferenceServer::ProgramPath() {
    return QM_REFERENCE_SERVER_PATH;
}

ReferenceServer::ReferenceServer(const std::filesystem::path& root, std::vector<std::string> extraArguments) {
    std::vector<std::string> arguments{ProgramPath(), "--root", root.string(), "--port", "0"};
    arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
    const auto given = [&](const char* option) {
        return std::find(extraArguments.begin(), extraArguments.end(), option) != extraArguments.end();
    };
    // The same tests against the other back end: a database of its own in the shared cluster.
    if (TestsUsePostgres() && given("--data") && !given("--database"))
        arguments.insert(arguments.end(), {"--database", PostgresCluster::Shared().NewDatabase()});
    if (const auto database = std::find(arguments.begin(), arguments.end(), "--database");
        database != arguments.end() && database + 1 != arguments.end() && *(database + 1) != "sqlite:")
        databaseUrl_ = *(database + 1);
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot create a pipe for qm-reference-server");
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0) {
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        throw std::runtime_error("cannot fork for qm-reference-server");
    }
    if (pid_ == 0) {
        // Only async-signal-safe calls between fork and exec.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(127);
        dup2(pipeEnds[1], STDOUT_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    output_ = pipeEnds[0];

    try {
        const std::string line = ReadFirstLine(output_);
        const auto colon = line.rfind(':');
        if (line.rfind(kAnnouncement, 0) != 0 || colon == std::string::npos)
            throw std::runtime_error("qm-reference-server announced something else: " + line);
        port_ = std::stoi(line.substr(colon + 1));
        baseURL_ = "http://" + line.substr(kAnnouncement.size(), colon - kAnnouncement.size()) + ":" +
                   std::to_string(port_);
    } catch (...) {
        Stop();
        close(output_);
        throw;
    }
}

int ReferenceServer::Stop() {
    if (pid_ <= 0)
        return exitCode_;
    kill(pid_, SIGTERM);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + kStopTimeout;
    pid_t ended = 0;
    while ((ended = waitpid(pid_, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (ended == 0) {
        kill(pid_, SIGKILL);
        ended = waitpid(pid_, &status, 0);
    }
    exitCode_ = ended == pid_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid_ = -1;
    return exitCode_;
}

ReferenceServer::~ReferenceServer() {
    Stop();
    if (output_ >= 0)
        close(output_);
}

} // namespace qm::test
