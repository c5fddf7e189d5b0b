#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace qmtest {

using namespace std::chrono_literals;

// Polls until the condition holds or the time is up; answers the condition's last value.
bool PollUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// The whole content of a file ("" when it does not exist).
std::string ReadWholeFile(const std::filesystem::path& file);

// One run of a program on the test's own display (the environment is inherited; each extra entry
// "NAME=value" replaces or adds a variable, a bare "NAME" removes one),
// started from "/" so that it must find its installation from its own executable. Standard output
// and error go to a file. The process is killed, if still running, when this object goes.
class TDeskProcess {
public:
    TDeskProcess(const std::filesystem::path& program, const std::filesystem::path& outputFile,
                 const std::vector<std::string>& extraEnvironment);
    ~TDeskProcess();
    TDeskProcess(const TDeskProcess&) = delete;
    TDeskProcess& operator=(const TDeskProcess&) = delete;

    pid_t Pid() const noexcept { return pid_; }
    // What the process wrote so far.
    std::string Output() const;
    // Waits for the text, or until the process ends.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds timeout = 30s);
    // Whether the process has not ended yet (an ended process is reaped here).
    bool Running();
    // The wait status once the process has ended.
    std::optional<int> ExitStatus() const noexcept { return status_; }

private:
    std::filesystem::path outputFile_;
    pid_t pid_ = -1;
    std::optional<int> status_;
};

} // namespace qmtest
