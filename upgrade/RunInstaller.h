#pragma once

#include <functional>
#include <optional>
#include <string>

namespace qm {

// Starts the program file with params (split like a shell command line); a ".run" or ".sh" file
// gets the run bit first. While it runs, calls whileRunning every 100 ms with the UI's events
// running; stops waiting early when the application is shutting down, leaving the program running.
// The program's exit code (0 also when it is not known: the wait stopped early); nothing when the
// program could not be started (nothing was waited for).
std::optional<int> StartAndWait(const std::string& file, const std::string& params,
                                const std::function<void()>& whileRunning);

} // namespace qm
