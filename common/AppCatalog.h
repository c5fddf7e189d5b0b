#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>

namespace qm {

// The attributes the host answers for a store application (request 12).
inline constexpr const char* kAppRecordFields[] = {"name",       "ver",        "intro",      "small_icon",
                                                   "large_icon", "unins_icon", "price_desc", "url"};

// The attributes `fields` of store application `id` in the catalogue file (missing ones read as
// ""): the first element named "app" (any case), depth-first in document order, whose "id"
// attribute equals id without regard to case. Nothing when the file is missing or nothing matches;
// a file that does not parse raises EPlugin with the parser's message and `location`.
std::optional<std::map<std::string, std::string>> FindAppRecord(const std::string& catalogueFile,
                                                                const std::string& id,
                                                                std::span<const char* const> fields,
                                                                const std::string& location);

} // namespace qm
