#include "bench/DisplayServer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace qm::bench {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kScreen = "800x600x24";

// Starts argv[0] (searched in PATH) with `environment`, its output discarded; -1 when it cannot.
// A descriptor given as `keep` stays open in the child under the same number.
pid_t Spawn(std::vector<std::string> arguments, char** environment, int keep = -1) {
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (keep >= 0)
        posix_spawn_file_actions_adddup2(&actions, keep, keep); // clears close-on-exec
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environment);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

} // namespace

std::optional<TPlatform> PlatformNamed(std::string_view name) {
    if (name == "xcb")
        return TPlatform::Xcb;
    if (name == "wayland")
        return TPlatform::Wayland;
    if (name == "offscreen")
        return TPlatform::Offscreen;
    return std::nullopt;
}

TDisplayServer::TDisplayServer(TPlatform platform) {
    switch (platform) {
    case TPlatform::Offscreen:
        ready_ = true;
        description_ = "offscreen";
        added_ = {"QT_QPA_PLATFORM=offscreen"};
        break;
    case TPlatform::Xcb:
        if (const char* display = std::getenv("DISPLAY"); display != nullptr && *display != '\0') {
            ready_ = true;
            description_ = std::string("xcb on the X server of $DISPLAY (") + display + ")";
            added_ = {"QT_QPA_PLATFORM=xcb", std::string("DISPLAY=") + display};
        } else {
            ready_ = StartXvfb();
        }
        break;
    case TPlatform::Wayland:
        if (const char* display = std::getenv("WAYLAND_DISPLAY"); display != nullptr && *display != '\0') {
            ready_ = true;
            description_ = std::string("wayland on the compositor of $WAYLAND_DISPLAY (") + display + ")";
            added_ = {"QT_QPA_PLATFORM=wayland", std::string("WAYLAND_DISPLAY=") + display};
        } else {
            ready_ = StartWeston();
        }
        break;
    }
}

TDisplayServer::~TDisplayServer() {
    if (server_ > 0) {
        kill(server_, SIGTERM);
        waitpid(server_, nullptr, 0);
    }
    std::error_code ignored;
    if (!runtimeDir_.empty())
        fs::remove_all(runtimeDir_, ignored);
}

std::vector<std::string_view> TDisplayServer::Dropped() const {
    // Also whatever would choose a program's graphics for it: the bench measures what it chooses.
    std::vector<std::string_view> dropped = {"QT_QPA_PLATFORM=",
                                             "DISPLAY=",
                                             "WAYLAND_DISPLAY=",
                                             "QT_XCB_GL_INTEGRATION=",
                                             "QT_WAYLAND_CLIENT_BUFFER_INTEGRATION=",
                                             "QT_QUICK_BACKEND="};
    // A compositor started here has its socket in a runtime folder of its own.
    if (!runtimeDir_.empty())
        dropped.push_back("XDG_RUNTIME_DIR=");
    return dropped;
}

// Xvfb picks a free display number itself and writes it to -displayfd.
bool TDisplayServer::StartXvfb() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return false;
    server_ =
        Spawn({"Xvfb", "-displayfd", std::to_string(ends[1]), "-screen", "0", kScreen, "-nolisten", "tcp"},
              environ, ends[1]);
    close(ends[1]);
    std::string number;
    pollfd waiting{ends[0], POLLIN, 0};
    char buffer[32];
    while (server_ > 0 && number.find('\n') == std::string::npos && poll(&waiting, 1, 10000) > 0) {
        const ssize_t got = read(ends[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        number.append(buffer, static_cast<std::size_t>(got));
    }
    close(ends[0]);
    if (number.find('\n') == std::string::npos) {
        std::fprintf(stderr, "the X server (Xvfb) did not start\n");
        return false;
    }
    number.erase(number.find('\n'));
    description_ = "xcb on an Xvfb started by the bench (:" + number + ", " + kScreen + ")";
    added_ = {"QT_QPA_PLATFORM=xcb", "DISPLAY=:" + number};
    return true;
}

bool TDisplayServer::StartWeston() {
    std::string pattern = (fs::temp_directory_path() / "qm-bench-wayland-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        return false;
    runtimeDir_ = pattern;
    const std::string socket = "qm-bench";
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry)
        if (std::string_view(*entry).rfind("XDG_RUNTIME_DIR=", 0) != 0 &&
            std::string_view(*entry).rfind("WAYLAND_DISPLAY=", 0) != 0)
            environment.emplace_back(*entry);
    environment.push_back("XDG_RUNTIME_DIR=" + runtimeDir_.string());
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    server_ = Spawn({"weston", "--backend=headless-backend.so", "--socket=" + socket, "--width=800",
                     "--height=600", "--idle-time=0"},
                    envp.data());
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (server_ > 0 && !fs::exists(runtimeDir_ / socket) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    if (server_ <= 0 || !fs::exists(runtimeDir_ / socket)) {
        std::fprintf(stderr, "the Wayland compositor (weston, headless) did not start\n");
        return false;
    }
    description_ = "wayland on a headless weston started by the bench (800 x 600)";
    added_ = {"QT_QPA_PLATFORM=wayland", "WAYLAND_DISPLAY=" + socket,
              "XDG_RUNTIME_DIR=" + runtimeDir_.string()};
    return true;
}

} // namespace qm::bench
