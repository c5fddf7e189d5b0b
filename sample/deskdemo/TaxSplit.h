#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qm {

// An amount that includes value-added tax, split into the amount without tax and the tax, in
// cents. The amount without tax is rounded half up to the cent; the tax is the rest, so the two
// always add up to the amount entered.
struct TTaxSplit {
    std::int64_t net = 0;
    std::int64_t tax = 0;
};

TTaxSplit SplitGrossAmount(std::int64_t grossCents, int ratePercent);

// "1234.5" -> 123450 cents: digits with at most two decimals ("12." while the user is still typing
// counts as 12); anything else, and amounts of a trillion or more, is no amount.
std::optional<std::int64_t> ParseCents(const std::string& text);
// 123450 -> "1,234.50".
std::string FormatCents(std::int64_t cents);

} // namespace qm
