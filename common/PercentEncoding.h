#pragma once

#include <string>
#include <string_view>

namespace qm {

// Percent-encodes every byte of the (UTF-8) text except the unreserved A-Z a-z 0-9 - _ . ~, with
// upper-case hex digits: "税 a&b" gives "%E7%A8%8E%20a%26b".
std::string PercentEncode(std::string_view text);

} // namespace qm
