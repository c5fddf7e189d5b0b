#pragma once

#include <string>
#include <string_view>

namespace qm {

// `text` without the spaces, tabs, CRs and LFs at either end; empty when nothing else is there.
inline std::string_view TrimWhitespace(std::string_view text) {
    constexpr std::string_view kWhitespace = " \t\r\n";
    const auto first = text.find_first_not_of(kWhitespace);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kWhitespace) - first + 1);
}

// The same as a string of its own.
inline std::string TrimmedCopy(std::string_view text) {
    return std::string(TrimWhitespace(text));
}

} // namespace qm
