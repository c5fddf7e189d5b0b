#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qm {

// The release notes of an update descriptor: the version line (serverVersion with its first "v",
// either case, replaced by "Ver "), then every line after the first line holding both "VER " and
// "BUILD" (without regard to case). A descriptor with lines but no such header gives the version
// line and its last line. nullopt when the file does not exist (the notes stay as they are).
// The file is read as UTF-8 when valid, else as GBK.
std::optional<std::vector<std::string>> BuildReleaseNotes(const std::string& descriptorFile,
                                                          const std::string& serverVersion);

} // namespace qm
