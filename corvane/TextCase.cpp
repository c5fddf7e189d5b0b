#include "corvane/TextCase.h"

#include <algorithm>

namespace corvane {

namespace {

// The exported FoldAscii may be interposed, so the compiler will not inline it into the loops here.
constexpr char Fold(char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

char FoldAscii(char c) noexcept {
    return Fold(c);
}

bool SameText(std::string_view a, std::string_view b) noexcept {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Fold(x) == Fold(y); });
}

bool EndsWithText(std::string_view text, std::string_view ending) noexcept {
    return text.size() >= ending.size() && SameText(text.substr(text.size() - ending.size()), ending);
}

std::string LowerAscii(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), Fold);
    return result;
}

} // namespace corvane
