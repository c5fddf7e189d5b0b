#pragma once

#include <string>
#include <string_view>

#include "corvane/Export.h"

namespace corvane {

// Names, keys and file endings compare without regard to case: ASCII letters fold, every other
// byte (UTF-8 Chinese text among them) compares as it is.
CORVANE_API char FoldAscii(char c) noexcept;
CORVANE_API bool SameText(std::string_view a, std::string_view b) noexcept;
CORVANE_API bool EndsWithText(std::string_view text, std::string_view ending) noexcept;
CORVANE_API std::string LowerAscii(std::string_view text);

} // namespace corvane
