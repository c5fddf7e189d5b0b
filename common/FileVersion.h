#pragma once

#include <string>

namespace qm {

// The ELF section in which every program and plug-in we build carries its version text
// ("major.minor.release.build", NUL-terminated). cmake/QmVersion.cmake puts it there.
inline constexpr char kVersionSectionName[] = ".qm_version";

// The version a binary of ours carries, as four decimal numbers joined by "."; "" for any other
// file, including damaged or truncated ones.
std::string GetFileVersionText(const std::string& fileName);

} // namespace qm
