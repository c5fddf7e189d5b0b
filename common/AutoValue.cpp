#include "common/AutoValue.h"

#include "corvane/Errors.h"
#include "corvane/TextCase.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace qm {

namespace {

template <class... F> struct TOverloaded : F... { using F::operator()...; };
// Older compilers do not deduce aggregate bases by themselves.
template <class... F> TOverloaded(F...) -> TOverloaded<F...>;

[[noreturn]] void RaiseConversion(const std::string& text, const char* kind) {
    throw corvane::ETax(corvane::FormatText("组件的返回值(%s)不能转换为%s", text, kind),
                        "TAutoValue.As" + std::string(kind));
}

std::int32_t ToInt32(std::int64_t number, const std::string& text) {
    if (number < std::numeric_limits<std::int32_t>::min() ||
        number > std::numeric_limits<std::int32_t>::max())
        RaiseConversion(text, "Integer");
    return static_cast<std::int32_t>(number);
}

} // namespace

std::string TAutoValue::AsString() const {
    return std::visit(TOverloaded{[](std::monostate) { return std::string(); },
                                  [](const std::string& text) { return text; },
                                  [](std::int64_t number) { return std::to_string(number); },
                                  [](bool flag) { return std::string(flag ? "True" : "False"); },
                                  [](double number) {
                                      char buffer[64];
                                      auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, number);
                                      return ec == std::errc() ? std::string(buffer, end) : std::string();
                                  }},
                      value_);
}

bool TAutoValue::AsBoolean() const {
    return std::visit(
        TOverloaded{[](std::monostate) { return false; },
                    [this](const std::string& text) {
                        if (corvane::SameText(text, "true"))
                            return true;
                        if (corvane::SameText(text, "false"))
                            return false;
                        double number = 0;
                        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
                        if (text.empty() || ec != std::errc() || end != text.data() + text.size())
                            RaiseConversion(AsString(), "Boolean");
                        return number != 0.0;
                    },
                    [](std::int64_t number) { return number != 0; }, [](bool flag) { return flag; },
                    [](double number) { return number != 0.0; }},
        value_);
}

std::int32_t TAutoValue::AsInteger() const {
    return std::visit(
        TOverloaded{[](std::monostate) { return std::int32_t{0}; },
                    [](const std::string& text) {
                        std::int64_t number = 0;
                        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
                        if (text.empty() || ec != std::errc() || end != text.data() + text.size())
                            RaiseConversion(text, "Integer");
                        return ToInt32(number, text);
                    },
                    [this](std::int64_t number) { return ToInt32(number, AsString()); },
                    [](bool flag) { return std::int32_t{flag ? 1 : 0}; },
                    [this](double number) {
                        if (!std::isfinite(number) || std::fabs(number) > 2147483647.0)
                            RaiseConversion(AsString(), "Integer");
                        return static_cast<std::int32_t>(std::lround(number));
                    }},
        value_);
}

} // namespace qm
