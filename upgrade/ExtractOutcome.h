#pragma once

#include "common/Result.h"

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

// How one extraction ended: done, or failed with the tool's exit code (see tools/tolva/Limits.h) or
// one of the codes above as its Code(), the reason in plain words for the user, and for the log
// the archive, the code and the tool's first line of output as its Detail().
using TExtractOutcome = TResult<>;

// The outcome for an exit code (0: done), with its reason.
TExtractOutcome ExtractOutcomeOf(int exitCode, std::string detail = {});

} // namespace qm
