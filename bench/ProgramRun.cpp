#include "bench/ProgramRun.h"

#include "tests/support/OpenGlLibraries.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace qm::bench {

namespace {

using TClock = std::chrono::steady_clock;

class TFd {
public:
    explicit TFd(int fd = -1) : fd_(fd) {}
    ~TFd() { Reset(); }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return fd_; }
    void Reset() {
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

double Seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// A "VmRSS:   1234 kB" line's kilobytes from /proc/PID/status; 0 when it is not there.
long StatusKb(pid_t pid, const std::string& field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0)
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
    return 0;
}

} // namespace

std::vector<std::string> EnvironmentWithout(const std::vector<std::string_view>& dropped,
                                            const std::vector<std::string>& added) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view variable(*entry);
        if (std::none_of(dropped.begin(), dropped.end(),
                         [&](std::string_view prefix) { return variable.starts_with(prefix); }))
            environment.emplace_back(variable);
    }
    environment.insert(environment.end(), added.begin(), added.end());
    return environment;
}

std::optional<TProgramRun> RunUntil(const std::filesystem::path& program,
                                    std::vector<std::string> environment,
                                    const std::function<bool(const std::string&)>& reached,
                                    std::chrono::milliseconds timeout, std::chrono::milliseconds linger) {
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string path = program.string();
    std::vector<char*> argv = {path.data(), nullptr};

    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return std::nullopt;
    TFd readEnd(ends[0]);
    TFd writeEnd(ends[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, "/");

    const auto start = TClock::now();
    pid_t pid = -1;
    const int error = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    writeEnd.Reset();
    if (error != 0)
        return std::nullopt;

    TProgramRun run;
    bool done = false;
    while (!done && TClock::now() - start < timeout) {
        pollfd waiting{readEnd.Get(), POLLIN, 0};
        if (poll(&waiting, 1, 100) <= 0)
            continue;
        char buffer[4096];
        const ssize_t got = read(readEnd.Get(), buffer, sizeof buffer);
        if (got <= 0)
            break;
        run.errorText.append(buffer, static_cast<std::size_t>(got));
        if (reached(run.errorText)) {
            run.seconds = std::chrono::duration<double>(TClock::now() - start).count();
            done = true;
        }
    }
    if (done && linger.count() > 0) {
        std::this_thread::sleep_for(linger);
        run.residentKb = StatusKb(pid, "VmRSS");
        run.peakResidentKb = StatusKb(pid, "VmHWM");
        run.openGlLibraries = qm::test::OpenGlLibrariesMapped(std::to_string(pid));
    }
    kill(pid, SIGKILL);
    rusage usage{};
    wait4(pid, nullptr, 0, &usage);
    if (!done) {
        std::fprintf(stderr, "%s: not done within %lld ms; it wrote:\n%s\n", path.c_str(),
                     static_cast<long long>(timeout.count()), run.errorText.c_str());
        return std::nullopt;
    }
    run.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    run.minorFaults = usage.ru_minflt;
    return run;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace qm::bench
