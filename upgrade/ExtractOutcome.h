#pragma once

#include <string>

namespace qm {

// Failures met by the plug-in itself rather than reported by the decompression tool.
constexpr int kExtractNotStarted = -1; // the tool could not be started
constexpr int kExtractCrashed = -2;    // the tool ended by a signal
constexpr int kExtractTimedOut = -3;   // the plug-in's time limit passed; the tool was killed
constexpr int kExtractStopped = -4;    // the program is ending; the tool was killed
constexpr int kExtractNotPlaced = -5;  // extracted, but moving it into place failed and was undone
constexpr int kExtractNoStaging = -6;  // what an earlier update left could not be cleared, or the
                                       // staging folder could not be made
constexpr int kExtractNotUndone = -7;  // moving into place failed, and so did putting the old files back

// How one extraction ended: the tool's exit code (0 done, see tools/tolva/Limits.h) or one of the
// codes above, and the reason in plain words for the user ("" when done).
struct TExtractOutcome {
    int ExitCode = 0;
    std::string Reason;
    // For the log: the archive, the code and the tool's first line of output.
    std::string Detail;

    bool Done() const noexcept { return ExitCode == 0; }
};

// The outcome for an exit code, with its reason.
TExtractOutcome ExtractOutcomeOf(int exitCode);

} // namespace qm
