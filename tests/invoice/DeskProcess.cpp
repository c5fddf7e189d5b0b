#include "DeskProcess.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace qmtest {

namespace {

class TSpawnActions {
public:
    TSpawnActions() { posix_spawn_file_actions_init(&actions_); }
    ~TSpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    TSpawnActions(const TSpawnActions&) = delete;
    TSpawnActions& operator=(const TSpawnActions&) = delete;
    posix_spawn_file_actions_t* Get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_{};
};

// The test's environment changed by extra: "NAME=value" replaces or adds, a bare "NAME" removes.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& extra) {
    const auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        bool changed = false;
        for (const std::string& change : extra)
            changed = changed || nameOf(change) == nameOf(text);
        if (!changed)
            env.push_back(text);
    }
    for (const std::string& change : extra)
        if (change.find('=') != std::string::npos)
            env.push_back(change);
    return env;
}

} // namespace

bool PollUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

TDeskProcess::TDeskProcess(const std::filesystem::path& program, const std::filesystem::path& outputFile,
                           const std::vector<std::string>& extraEnvironment)
    : outputFile_(outputFile) {
    std::vector<std::string> env = ChildEnvironment(extraEnvironment);
    std::vector<char*> envp;
    for (std::string& entry : env)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string path = program.string();
    std::vector<char*> argv = {path.data(), nullptr};

    TSpawnActions actions;
    const std::string output = outputFile.string();
    posix_spawn_file_actions_addopen(actions.Get(), STDERR_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(actions.Get(), STDERR_FILENO, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(actions.Get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addchdir_np(actions.Get(), "/");
    const int error = posix_spawn(&pid_, path.c_str(), actions.Get(), nullptr, argv.data(), envp.data());
    if (error != 0)
        throw std::runtime_error("cannot start " + path + ": " + std::strerror(error));
}

TDeskProcess::~TDeskProcess() {
    if (!Running())
        return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
}

std::string ReadWholeFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in)
        return std::string();
    std::string content(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(content.data(), static_cast<std::streamsize>(content.size()));
    content.resize(static_cast<std::size_t>(in.gcount()));
    return content;
}

std::string TDeskProcess::Output() const {
    return ReadWholeFile(outputFile_);
}

bool TDeskProcess::WaitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
    const auto found = [&] { return Output().find(text) != std::string::npos; };
    PollUntil([&] { return found() || !Running(); }, timeout);
    return found();
}

bool TDeskProcess::Running() {
    if (status_ || pid_ <= 0)
        return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_)
        status_ = status;
    return !status_;
}

} // namespace qmtest
