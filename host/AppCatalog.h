#pragma once

#include <map>
#include <optional>
#include <string>

namespace qm {

// The attributes the host answers for a store application.
inline constexpr const char* kAppRecordFields[] = {"name",       "ver",        "intro",      "small_icon",
                                                   "large_icon", "unins_icon", "price_desc", "url"};

// The record of store application `id` in the catalogue file: the first element named "app"
// (any case), depth-first in document order, whose "id" attribute equals id without regard to
// case. Nothing when the file is missing or nothing matches; a file that does not parse raises
// EPlugin with the parser's message.
std::optional<std::map<std::string, std::string>> FindAppRecord(const std::string& catalogueFile,
                                                                const std::string& id);

} // namespace qm
