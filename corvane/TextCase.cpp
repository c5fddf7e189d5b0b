#include "corvane/TextCase.h"

#include <algorithm>

namespace corvane {

char FoldAscii(char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameText(std::string_view a, std::string_view b) noexcept {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return FoldAscii(x) == FoldAscii(y); });
}

bool EndsWithText(std::string_view text, std::string_view ending) noexcept {
    return text.size() >= ending.size() && SameText(text.substr(text.size() - ending.size()), ending);
}

std::string LowerAscii(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), FoldAscii);
    return result;
}

} // namespace corvane
