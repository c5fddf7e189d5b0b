#include "sample/deskdemo/TaxSplit.h"

namespace qm {

namespace {

constexpr std::size_t kMaxIntegerDigits = 12;

} // namespace

TTaxSplit SplitGrossAmount(std::int64_t grossCents, int ratePercent) {
    // Integer arithmetic: a decimal fraction in a double would round some cents the wrong way.
    const std::int64_t divisor = 100 + ratePercent;
    const std::int64_t net = (grossCents * 100 + divisor / 2) / divisor;
    return TTaxSplit{net, grossCents - net};
}

std::optional<std::int64_t> ParseCents(const std::string& text) {
    const std::size_t dot = text.find('.');
    const std::string whole = text.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? std::string() : text.substr(dot + 1);
    if (whole.empty() || whole.size() > kMaxIntegerDigits || fraction.size() > 2)
        return std::nullopt;
    std::int64_t cents = 0;
    for (const char c : whole + (fraction + "00").substr(0, 2)) {
        if (c < '0' || c > '9')
            return std::nullopt;
        cents = cents * 10 + (c - '0');
    }
    return cents;
}

std::string FormatCents(std::int64_t cents) {
    std::string whole = std::to_string(cents / 100);
    for (int at = static_cast<int>(whole.size()) - 3; at > 0; at -= 3)
        whole.insert(static_cast<std::size_t>(at), ",");
    const std::int64_t rest = cents % 100;
    return whole + (rest < 10 ? ".0" : ".") + std::to_string(rest);
}

} // namespace qm
