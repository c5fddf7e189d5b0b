#pragma once

#include <ostream>
#include <string>

namespace qm::tolva {

// Extracts every entry of the archive into the current folder with its full path, replacing
// files that are there. Entries that could land outside the folder (absolute names, "..", links
// pointing out, anything reached through a link) are left out and named on `errors`, as are
// entries that fail. 0 when every entry was written, 1 otherwise (also for an archive that
// cannot be read).
int ExtractHere(const std::string& archive, std::ostream& errors);

} // namespace qm::tolva
