#pragma once

#include <string>

namespace qm {

// Writes a line to the desk's trace channel (host request 1, tag "DeskTools"). Safe in
// destructors: it does nothing once the desk has let go of its plugin object (at shutdown) and
// never throws.
void HostTrace(const std::string& message) noexcept;

} // namespace qm
