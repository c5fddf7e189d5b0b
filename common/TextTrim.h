#pragma once

#include <string>
#include <string_view>

// The one trim of the libraries that link the support library (the runtime keeps its own): text
// without a set of blank characters at either end. Two sets are common: whitespace, and every
// character at or below the space, the blanks the Windows-era Trim takes off (controls included).
namespace qm {

// Spaces, tabs, CRs and LFs.
inline constexpr std::string_view kWhitespace = " \t\r\n";
// Every character from NUL to the space.
inline constexpr std::string_view kBlanksAndControls{
    "\0\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f"
    "\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f\x20",
    33};

// `text` without the characters of `blanks` at either end; empty when nothing else is there.
inline std::string_view TrimWhitespace(std::string_view text, std::string_view blanks = kWhitespace) {
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The same as a string of its own.
inline std::string TrimmedCopy(std::string_view text, std::string_view blanks = kWhitespace) {
    return std::string(TrimWhitespace(text, blanks));
}

} // namespace qm
