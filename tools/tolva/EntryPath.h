#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qm::tolva {

// The parts of a "/"-separated path, with empty and "." parts dropped: "a//./b/" gives {"a", "b"}.
// Every check and every write uses this one reading, so "x/./l" and "x/l" are the same name.
std::vector<std::string> PathParts(std::string_view path);

// The parts joined again with "/": "./a//b/" becomes "a/b"; "" for the folder itself.
std::string NormalizedName(std::string_view path);

// Why an archive entry (or a hard link's target) may not be written, or "" when it may. Names are
// taken as paths relative to the extraction folder: an absolute name or one with a ".." part could
// land outside it.
std::string RefuseName(const std::string& name);

// The name as it may be printed in one line: control characters (C0, DEL, C1) and "\" are escaped.
std::string PrintableName(std::string_view name);

} // namespace qm::tolva
