#include "services/ByteRange.h"

#include <charconv>
#include <limits>
#include <optional>

namespace qm::server {

namespace {

constexpr std::uint64_t kTooLarge = std::numeric_limits<std::uint64_t>::max();

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// A run of decimal digits; numbers beyond 64 bits count as "too large" rather than malformed.
std::optional<std::uint64_t> ParsePosition(std::string_view digits) {
    if (digits.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, status] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (end != digits.data() + digits.size())
        return std::nullopt; // on overflow from_chars still consumes every digit
    if (status == std::errc::result_out_of_range)
        return kTooLarge;
    if (status != std::errc())
        return std::nullopt;
    return value;
}

constexpr ByteRange kWhole{};
constexpr ByteRange kUnsatisfiable{ByteRange::Kind::Unsatisfiable, 0, 0};

} // namespace

ByteRange ResolveByteRange(std::string_view header, std::uint64_t size) {
    header = Trim(header);
    constexpr std::string_view unit = "bytes=";
    if (header.size() < unit.size() || header.substr(0, unit.size()) != unit)
        return kWhole;
    const std::string_view rangeSet = Trim(header.substr(unit.size()));
    if (rangeSet.find(',') != std::string_view::npos)
        return kWhole;
    const auto dash = rangeSet.find('-');
    if (dash == std::string_view::npos)
        return kWhole;
    const std::string_view firstText = Trim(rangeSet.substr(0, dash));
    const std::string_view lastText = Trim(rangeSet.substr(dash + 1));

    if (firstText.empty()) {
        // "-n": the final n bytes.
        const auto suffix = ParsePosition(lastText);
        if (!suffix)
            return kWhole;
        if (*suffix == 0 || size == 0)
            return kUnsatisfiable;
        const std::uint64_t length = *suffix < size ? *suffix : size;
        return {ByteRange::Kind::Part, size - length, size - 1};
    }

    const auto first = ParsePosition(firstText);
    if (!first)
        return kWhole;
    std::uint64_t last = size == 0 ? 0 : size - 1;
    if (!lastText.empty()) {
        const auto requestedLast = ParsePosition(lastText);
        if (!requestedLast || *requestedLast < *first)
            return kWhole;
        if (*requestedLast < last)
            last = *requestedLast;
    }
    if (*first >= size)
        return kUnsatisfiable;
    return {ByteRange::Kind::Part, *first, last};
}

} // namespace qm::server
