#pragma once

// The outcomes a requester of the upgrade plug-in hears under "Result".
namespace qm {

// A task ended and another queued task follows, or the file was neither a program nor an archive;
// never reported.
inline constexpr int kStateNone = 0;
// The downloaded program ran to its end, or every file of the archive is in place.
inline constexpr int kStateDone = 3;
// The download, its check or its extraction failed (nothing of it was applied), the package or the
// update descriptor was refused, the program could not be started, or a forced upgrade was aborted.
inline constexpr int kStateFailed = 4;
// The transfer was aborted, or the user cancelled or declined the notice.
inline constexpr int kStateCancelled = 98;
// Nothing was applied: already current, no update descriptor, or offline.
inline constexpr int kStateSkipped = 99;

} // namespace qm
