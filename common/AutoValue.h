#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace qm {

// A value answered by an outside component: nothing (null), text, an integer, a boolean or a
// number. Call sites convert it to what they rely on; a conversion that makes no sense (the text
// "abc" as a boolean) raises ETax instead of guessing.
class TAutoValue {
public:
    TAutoValue() = default;
    TAutoValue(std::string text) : value_(std::move(text)) {}
    TAutoValue(const char* text) : value_(std::string(text)) {}
    TAutoValue(std::int64_t number) : value_(number) {}
    TAutoValue(int number) : value_(std::int64_t{number}) {}
    TAutoValue(bool flag) : value_(flag) {}
    TAutoValue(double number) : value_(number) {}

    bool IsNull() const noexcept { return std::holds_alternative<std::monostate>(value_); }
    // Null gives "", true/false give "True"/"False".
    std::string AsString() const;
    // Null gives false; numbers are true when not 0; texts "true"/"false" (any case) or numbers.
    bool AsBoolean() const;
    // Null gives 0; true gives 1; texts must hold a whole number.
    std::int32_t AsInteger() const;

private:
    std::variant<std::monostate, std::string, std::int64_t, bool, double> value_;
};

} // namespace qm
