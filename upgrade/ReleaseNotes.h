#pragma once

#include <string>
#include <vector>

namespace qm {

// The release notes of an update descriptor: the version line (serverVersion with its first "v",
// either case, replaced by "Ver "), then every line after the first line holding both "VER " and
// "BUILD" (without regard to case). A descriptor with lines but no such header gives the version
// line and its last line. descriptorText is the descriptor's decoded text (TIniDocument::Text).
std::vector<std::string> BuildReleaseNotes(const std::string& descriptorText,
                                           const std::string& serverVersion);

} // namespace qm
