#include "HostProcess.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace qmtest {

namespace {

bool HasPrefix(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

// The test's own environment with the settings the host runs under here.
std::vector<std::string> ChildEnvironment(const THostProcess::TOptions& options) {
    const std::vector<std::string> replaced = {
        "QT_QPA_PLATFORM=", "LD_PRELOAD=", "LD_LIBRARY_PATH=", "QM_TEST_DIALOG_LOG=", "ASAN_OPTIONS="};
    std::vector<std::string> env;
    std::string libraryPath;
    std::string asanOptions;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        if (HasPrefix(text, "LD_LIBRARY_PATH="))
            libraryPath = text.substr(std::strlen("LD_LIBRARY_PATH="));
        if (HasPrefix(text, "ASAN_OPTIONS="))
            asanOptions = text.substr(std::strlen("ASAN_OPTIONS="));
        bool keep = true;
        for (const std::string& prefix : replaced)
            keep = keep && !HasPrefix(text, prefix);
        if (keep)
            env.push_back(text);
    }
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("LD_PRELOAD=" + std::string(QM_DIALOG_WATCHER_FILE));
    env.push_back("QM_TEST_DIALOG_LOG=" + options.dialogFile.string());
    env.push_back("LD_LIBRARY_PATH=" + options.libraryDir.string() +
                  (libraryPath.empty() ? std::string() : ":" + libraryPath));
    // A sanitizer build would refuse the preloaded library for coming before its runtime.
    env.push_back("ASAN_OPTIONS=" + (asanOptions.empty() ? std::string() : asanOptions + ":") +
                  "verify_asan_link_order=0");
    for (const std::string& change : options.environment) {
        const std::string name = change.substr(0, change.find('=')) + "=";
        std::erase_if(env, [&](const std::string& entry) { return HasPrefix(entry, name); });
        if (change.find('=') != std::string::npos)
            env.push_back(change);
    }
    return env;
}

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

} // namespace

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        std::this_thread::sleep_for(20ms);
    }
    return true;
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

THostProcess::THostProcess(const TOptions& options) : options_(options) {
    std::vector<std::string> env = ChildEnvironment(options);
    std::vector<char*> envp;
    for (std::string& entry : env)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = options.program.string();
    std::vector<char*> argv = {program.data(), nullptr};

    TSpawnActions actions;
    const std::string output = options.outputFile.string();
    posix_spawn_file_actions_addopen(actions.Get(), STDERR_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(actions.Get(), STDERR_FILENO, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(actions.Get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    // Outside the installation: the host must find its folder from its own executable.
    posix_spawn_file_actions_addchdir_np(actions.Get(), "/");
    const int error = posix_spawn(&pid_, program.c_str(), actions.Get(), nullptr, argv.data(), envp.data());
    if (error != 0)
        throw std::runtime_error("cannot start " + program + ": " + std::strerror(error));
}

THostProcess::~THostProcess() {
    if (Running())
        Kill(SIGKILL);
}

std::string THostProcess::Output() const {
    return ReadWholeFile(options_.outputFile);
}

bool THostProcess::OutputContains(const std::string& text) const {
    return Output().find(text) != std::string::npos;
}

bool THostProcess::WaitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
    WaitUntil([&] { return OutputContains(text) || !Running(); }, timeout);
    return OutputContains(text);
}

std::vector<TDialogRecord> THostProcess::Dialogs() const {
    std::vector<TDialogRecord> dialogs;
    std::istringstream in(ReadWholeFile(options_.dialogFile));
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        TDialogRecord dialog;
        std::getline(fields, dialog.caption, '\t');
        std::getline(fields, dialog.message, '\t');
        std::getline(fields, dialog.otherWindows);
        dialogs.push_back(dialog);
    }
    return dialogs;
}

bool THostProcess::WaitForDialog(std::chrono::milliseconds timeout) {
    WaitUntil([&] { return !Dialogs().empty() || !Running(); }, timeout);
    return !Dialogs().empty();
}

bool THostProcess::RoundTrip(std::chrono::milliseconds timeout) {
    const std::filesystem::path pulse = options_.dialogFile.string() + ".pulse";
    for (int round = 0; round < 2; ++round) {
        std::ofstream(pulse).put('?');
        if (!WaitUntil([&] { return !std::filesystem::exists(pulse) || !Running(); }, timeout) ||
            std::filesystem::exists(pulse))
            return false;
    }
    return Running();
}

bool THostProcess::Running() {
    if (status_ || pid_ <= 0)
        return false;
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_)
        status_ = status;
    return !status_;
}

std::optional<int> THostProcess::WaitForExit(std::chrono::milliseconds timeout) {
    WaitUntil([&] { return !Running(); }, timeout);
    return status_;
}

void THostProcess::Kill(int signal) {
    if (!Running())
        return;
    ::kill(pid_, signal);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    status_ = status;
}

} // namespace qmtest
