#include "desk/ColorText.h"

#include "corvane/TextCase.h"
#include "desk/ConvertError.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace qm {

namespace {

struct TColorName {
    std::string_view name;
    TColor color;
};

constexpr TColor SystemColor(int index) {
    return static_cast<TColor>(0x80000000u | static_cast<std::uint32_t>(index));
}

// The colour names a script may write, with the values the framework gives them.
constexpr TColorName kColorNames[] = {
    {"clBlack", Colors::clBlack},
    {"clMaroon", Colors::clMaroon},
    {"clGreen", Colors::clGreen},
    {"clOlive", Colors::clOlive},
    {"clNavy", Colors::clNavy},
    {"clPurple", Colors::clPurple},
    {"clTeal", Colors::clTeal},
    {"clGray", Colors::clGray},
    {"clSilver", Colors::clSilver},
    {"clRed", Colors::clRed},
    {"clLime", Colors::clLime},
    {"clYellow", Colors::clYellow},
    {"clBlue", Colors::clBlue},
    {"clFuchsia", Colors::clFuchsia},
    {"clAqua", Colors::clAqua},
    {"clWhite", Colors::clWhite},
    {"clLtGray", 0xC0C0C0},
    {"clDkGray", 0x808080},
    {"clMoneyGreen", 0xC0DCC0},
    {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF},
    {"clMedGray", 0xA4A0A0},
    {"clNone", 0x1FFFFFFF},
    {"clDefault", 0x20000000},
    {"clScrollBar", SystemColor(0)},
    {"clBackground", SystemColor(1)},
    {"clActiveCaption", SystemColor(2)},
    {"clInactiveCaption", SystemColor(3)},
    {"clMenu", SystemColor(4)},
    {"clWindow", SystemColor(5)},
    {"clWindowFrame", SystemColor(6)},
    {"clMenuText", SystemColor(7)},
    {"clWindowText", SystemColor(8)},
    {"clCaptionText", SystemColor(9)},
    {"clActiveBorder", SystemColor(10)},
    {"clInactiveBorder", SystemColor(11)},
    {"clAppWorkSpace", SystemColor(12)},
    {"clHighlight", SystemColor(13)},
    {"clHighlightText", SystemColor(14)},
    {"clBtnFace", SystemColor(15)},
    {"clBtnShadow", SystemColor(16)},
    {"clGrayText", SystemColor(17)},
    {"clBtnText", SystemColor(18)},
    {"clInactiveCaptionText", SystemColor(19)},
    {"clBtnHighlight", SystemColor(20)},
    {"cl3DDkShadow", SystemColor(21)},
    {"cl3DLight", SystemColor(22)},
    {"clInfoText", SystemColor(23)},
    {"clInfoBk", SystemColor(24)},
    {"clHotLight", SystemColor(26)},
    {"clGradientActiveCaption", SystemColor(27)},
    {"clGradientInactiveCaption", SystemColor(28)},
    {"clMenuHighlight", SystemColor(29)},
    {"clMenuBar", SystemColor(30)},
};

// Fixed values for the system colours (index = system colour number), those of a plain light
// desktop theme, in the stored colour layout.
constexpr std::array<TColor, 31> kSystemColorValues{{
    0xC8C8C8, // scroll bar
    0x000000, // desktop background
    0xD1B499, // active caption
    0xDBCDBF, // inactive caption
    0xF0F0F0, // menu
    0xFFFFFF, // window
    0x646464, // window frame
    0x000000, // menu text
    0x000000, // window text
    0x000000, // caption text
    0xB4B4B4, // active border
    0xFCF7F4, // inactive border
    0xABABAB, // application workspace
    0xFF9933, // highlight
    0xFFFFFF, // highlight text
    0xF0F0F0, // button face
    0xA0A0A0, // button shadow
    0x6D6D6D, // grey text
    0x000000, // button text
    0x544E43, // inactive caption text
    0xFFFFFF, // button highlight
    0x696969, // 3-D dark shadow
    0xE3E3E3, // 3-D light
    0x000000, // info text
    0xE1FFFF, // info background
    0x000000, // (unused)
    0xCC6600, // hot light
    0xEAD1B9, // gradient of the active caption
    0xF2E4D7, // gradient of the inactive caption
    0xFF9933, // menu highlight
    0xF0F0F0, // menu bar
}};

int DigitValue(char c, int radix) {
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < radix ? value : -1;
}

// Integer text as the framework reads it: leading blanks, an optional sign, then decimal digits or
// hexadecimal digits after "$" or "0x". Hexadecimal covers all 32 bits; decimal must fit.
std::optional<std::int32_t> ParseInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    int radix = 10;
    if (i < text.size() && text[i] == '$') {
        radix = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        radix = 16;
        i += 2;
    }
    if (i == text.size())
        return std::nullopt;
    const std::uint64_t limit = radix == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(text[i], radix);
        if (digit < 0)
            return std::nullopt;
        value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(digit);
        if (value > limit)
            return std::nullopt;
    }
    const auto bits = static_cast<std::uint32_t>(negative ? (~value + 1) : value);
    return static_cast<std::int32_t>(bits);
}

} // namespace

std::optional<TColor> IdentToColor(const std::string& name) {
    for (const TColorName& entry : kColorNames)
        if (corvane::SameText(entry.name, name))
            return entry.color;
    return std::nullopt;
}

TColor StringToColor(const std::string& text) {
    if (const std::optional<TColor> named = IdentToColor(text))
        return *named;
    if (const std::optional<std::int32_t> number = ParseInteger(text))
        return *number;
    throw EConvertError("'" + text + "' is not a valid integer value");
}

TColor ColorToRGB(TColor color) {
    if (color < 0) {
        const auto index = static_cast<std::size_t>(static_cast<std::uint32_t>(color) & 0xFFu);
        return index < kSystemColorValues.size() ? kSystemColorValues[index] : Colors::clBlack;
    }
    return color;
}

QColor ToQColor(TColor color) {
    const auto rgb = static_cast<std::uint32_t>(ColorToRGB(color));
    return QColor(static_cast<int>(rgb & 0xFFu), static_cast<int>((rgb >> 8) & 0xFFu),
                  static_cast<int>((rgb >> 16) & 0xFFu));
}

} // namespace qm
