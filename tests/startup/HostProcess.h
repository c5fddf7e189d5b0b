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
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// The whole content of a file ("" when it does not exist).
std::string ReadWholeFile(const std::filesystem::path& file);

// A message dialog as the dialog watcher saw it before clicking it away.
struct TDialogRecord {
    std::string caption;
    std::string message;
    std::string otherWindows; // the other visible top-level windows as "class:caption", comma separated
};

// One run of a host program (under Qt's offscreen platform unless told otherwise), started from a folder
// outside its installation. Its standard error (and output) go to a file; the dialog watcher library is
// preloaded and reports every message dialog to a file of its own, then clicks it away. The
// process is killed, if still running, when this object goes.
class THostProcess {
public:
    struct TOptions {
        std::filesystem::path program;
        std::filesystem::path outputFile; // standard error and output
        std::filesystem::path dialogFile; // one line per message dialog
        std::filesystem::path libraryDir; // searched first for shared libraries
        // Applied last: "NAME=value" replaces or adds a variable, a bare "NAME" removes it (so
        // "QT_QPA_PLATFORM=xcb" runs the host on the test's X server).
        std::vector<std::string> environment = {};
    };

    explicit THostProcess(const TOptions& options);
    ~THostProcess();
    THostProcess(const THostProcess&) = delete;
    THostProcess& operator=(const THostProcess&) = delete;

    pid_t Pid() const noexcept { return pid_; }

    // What the process wrote to its standard error so far.
    std::string Output() const;
    bool OutputContains(const std::string& text) const;
    // Waits for the text, or until the process ends.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds timeout = 20s);

    // The dialogs the watcher saw so far.
    std::vector<TDialogRecord> Dialogs() const;
    // Waits for a first dialog, or until the process ends.
    bool WaitForDialog(std::chrono::milliseconds timeout = 20s);

    // Waits until the host's main thread has run its event loop twice more (the dialog watcher answers
    // from there, 20 ms apart), so that what the host had set off by now, down to its 1 ms timers, has
    // happened: the positive signal for checking that something did not. False when the host ended or
    // did not answer in time.
    bool RoundTrip(std::chrono::milliseconds timeout = 20s);

    // Whether the process has not ended yet (an ended process is reaped here).
    bool Running();
    // Waits for the end; the wait status, or nothing when the time ran out.
    std::optional<int> WaitForExit(std::chrono::milliseconds timeout = 20s);
    // Sends the signal and waits for the end.
    void Kill(int signal);

private:
    TOptions options_;
    pid_t pid_ = -1;
    std::optional<int> status_;
};

} // namespace qmtest
