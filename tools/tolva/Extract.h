#pragma once

#include "tools/tolva/Limits.h"

#include <ostream>
#include <string>

namespace qm::tolva {

// How one extraction runs. Both layers of protection are on in the shipped tool; a test build may
// switch one off to show that the other holds on its own.
struct TExtractOptions {
    TLimits limits;
    bool ownChecks = true;     // our refusals of names, links and special files
    bool libraryChecks = true; // the archive library's secure-extraction flags
};

// Extracts every entry of the archive (zip, rar, 7z, tar with any compression) into the current
// folder with its full path, replacing files that are there. Entries that could land outside the
// folder are left out and named on `errors`, as are entries that fail; a limit passed, an
// unreadable or truncated archive, or a full disk stops the extraction. Every failure is one whole
// line on `errors`, names with control characters escaped. Answers a TExitCode: kExitDone only when
// every entry was written; otherwise the code of the first failure.
int ExtractHere(const std::string& archive, std::ostream& errors, const TExtractOptions& options);

} // namespace qm::tolva
