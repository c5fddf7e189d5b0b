#include "XServer.h"

#include "HostProcess.h"

#include <array>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <signal.h>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace qmtest {

namespace fs = std::filesystem;

namespace {

// Display numbers tried, away from the low numbers that desktops and other tools take. A number
// whose lock or socket exists belongs to someone else.
constexpr int kFirstDisplay = 120;
constexpr int kLastDisplay = 199;
constexpr int kReservedDisplays[] = {77, 99};

bool DisplayTaken(int number) {
    for (const int reserved : kReservedDisplays)
        if (number == reserved)
            return true;
    return fs::exists("/tmp/.X" + std::to_string(number) + "-lock") ||
           fs::exists("/tmp/.X11-unix/X" + std::to_string(number));
}

// The server writes its process id into the display's lock file once the display is its own.
bool LockHeldBy(int number, pid_t pid) {
    std::istringstream lock(ReadWholeFile("/tmp/.X" + std::to_string(number) + "-lock"));
    pid_t holder = -1;
    lock >> holder;
    return holder == pid;
}

pid_t SpawnServer(int number, int width, int height) {
    const std::string display = ":" + std::to_string(number);
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    std::vector<std::string> args = {"Xvfb", display, "-screen", "0", screen, "-nolisten", "tcp", "-noreset"};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("cannot start Xvfb");
    if (pid == 0) {
        // A test that crashes must not leave its server behind; the desk on it ends with it.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execvp("Xvfb", argv.data());
        _exit(127);
    }
    return pid;
}

bool Exited(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == pid;
}

} // namespace

TXServer::TXServer(int width, int height) {
    // Tests run side by side: start from a number of this process's own, and when another server
    // wins a number between the look and the start, ours gives up at once and the next is tried.
    const int span = kLastDisplay - kFirstDisplay + 1;
    for (int i = 0; i < span && pid_ < 0; ++i) {
        const int number = kFirstDisplay + (static_cast<int>(getpid()) + i) % span;
        if (DisplayTaken(number))
            continue;
        const pid_t pid = SpawnServer(number, width, height);
        const bool ready = WaitUntil(
            [&] {
                return Exited(pid) ||
                       (fs::exists("/tmp/.X11-unix/X" + std::to_string(number)) && LockHeldBy(number, pid));
            },
            10s);
        if (ready && LockHeldBy(number, pid) && !Exited(pid)) {
            pid_ = pid;
            display_ = ":" + std::to_string(number);
        } else {
            ::kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    if (pid_ < 0)
        throw std::runtime_error("no free display for Xvfb");
}

TXServer::~TXServer() {
    ::kill(pid_, SIGTERM);
    if (!WaitUntil([this] { return Exited(pid_); }, 5s)) {
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

std::string TXServer::Run(const std::string& command) const {
    const std::string line = "DISPLAY=" + display_ + " " + command + " 2>/dev/null";
    const std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(line.c_str(), "r"), &pclose);
    if (!pipe)
        throw std::runtime_error("cannot run " + command);
    std::string output;
    std::array<char, 4096> buffer{};
    for (std::size_t got; (got = fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0;)
        output.append(buffer.data(), got);
    return output;
}

QImage TXServer::Screenshot() const {
    char name[] = "/tmp/qm-endtoend-shot-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0)
        throw std::runtime_error("cannot create a screenshot file");
    close(fd);
    Run("import -window root png:" + std::string(name));
    QImage shot(QString::fromLocal8Bit(name), "PNG");
    fs::remove(name);
    return shot.convertToFormat(QImage::Format_RGB32);
}

void TXServer::MoveMouse(QPoint at) const {
    // Not "--sync": that waits for a movement, and there is none when the pointer is there already.
    const std::string x = std::to_string(at.x());
    const std::string y = std::to_string(at.y());
    Run("xdotool mousemove " + x + " " + y);
    const std::string arrived = "x:" + x + " y:" + y + " ";
    if (!WaitUntil([&] { return Run("xdotool getmouselocation").rfind(arrived, 0) == 0; }, 5s))
        throw std::runtime_error("the pointer did not arrive at " + x + "," + y);
}

void TXServer::Click(QPoint at) const {
    // Once the server has the pointer there, the events of its arrival are queued to the window under
    // it before those of the click that follows, so that window sees the pointer arrive first.
    MoveMouse(at);
    Run("xdotool click 1");
}

QRect TXServer::WindowOf(pid_t pid) const {
    const std::vector<QRect> windows = WindowsOf(pid);
    return windows.empty() ? QRect() : windows.front();
}

QRect TXServer::WindowNamed(const std::string& title) const {
    const std::vector<QRect> frames = Frames(Run("xdotool search --onlyvisible --name '^" + title + "$'"));
    return frames.empty() ? QRect() : frames.front();
}

std::vector<QRect> TXServer::WindowsOf(pid_t pid) const {
    return Frames(Run("xdotool search --onlyvisible --pid " + std::to_string(pid)));
}

std::vector<QRect> TXServer::Frames(const std::string& windowIds) const {
    std::istringstream windows(windowIds);
    std::vector<QRect> frames;
    for (std::string window; windows >> window;) {
        int x = 0, y = 0, width = 0, height = 0;
        std::istringstream shell(Run("xdotool getwindowgeometry --shell " + window));
        for (std::string line; std::getline(shell, line);) {
            const auto equals = line.find('=');
            if (equals == std::string::npos)
                continue;
            const std::string key = line.substr(0, equals);
            const int value = std::atoi(line.c_str() + equals + 1);
            if (key == "X")
                x = value;
            else if (key == "Y")
                y = value;
            else if (key == "WIDTH")
                width = value;
            else if (key == "HEIGHT")
                height = value;
        }
        frames.emplace_back(x, y, width, height);
    }
    return frames;
}

} // namespace qmtest
