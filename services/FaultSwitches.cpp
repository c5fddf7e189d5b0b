#include "services/FaultSwitches.h"

#include <charconv>

namespace qm::server {

FaultedPath SplitFaultPrefixes(std::string_view requestPath, bool testSwitches) {
    FaultedPath result;
    for (;;) {
        if (requestPath.size() < 2 || requestPath.front() != '/')
            break;
        const auto end = requestPath.find('/', 1);
        if (end == std::string_view::npos)
            break; // the last segment is the file itself, never a switch
        const std::string_view segment = requestPath.substr(1, end - 1);
        if (testSwitches && segment == "slow")
            result.faults.slow = true;
        else if (testSwitches && segment == "drop")
            result.faults.drop = true;
        else if (segment == "norange")
            result.faults.noRange = true;
        else if (testSwitches && segment == "flaky")
            result.faults.flaky = true;
        else if (testSwitches && segment == "nosig")
            result.faults.noSignatures = true;
        else if (segment == "nolength")
            result.faults.noRange = result.faults.noLength = true;
        else
            break;
        requestPath.remove_prefix(end);
    }
    result.path = std::string(requestPath);
    return result;
}

std::optional<std::uint64_t> ParseCount(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || status != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace qm::server
