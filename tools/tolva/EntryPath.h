#pragma once

#include <string>

namespace qm::tolva {

// Why an archive entry may not be written, or "" when it may. Names are taken as paths relative
// to the extraction folder: an absolute name or one with a ".." part could land outside it.
std::string RefuseName(const std::string& name);

// The same for a symbolic link's target, read from the folder the link sits in: an absolute
// target, or one that climbs above the extraction folder, points outside.
std::string RefuseLinkTarget(const std::string& linkName, const std::string& target);

} // namespace qm::tolva
