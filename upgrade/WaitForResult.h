#pragma once

#include <chrono>
#include <functional>

namespace qm {

// How long WaitForResult goes on after the last moment anything that could still report was
// under way (a check queued or running, a download or an installer running, a dialog shown).
inline constexpr std::chrono::milliseconds kResultIdleLimit{10000};

// Waits for lastResult (which the caller set to 0 beforehand) to become 3, 4, 98 or 99, reading it
// after every 21 turns of letting pending UI messages run and sleeping 10 ms, so the UI keeps
// running. A result that can no longer come ends the wait with 99: when busy() has answered false
// throughout idleLimit.
int WaitForResult(const int& lastResult, const std::function<bool()>& busy,
                  std::chrono::milliseconds idleLimit = kResultIdleLimit);

} // namespace qm
