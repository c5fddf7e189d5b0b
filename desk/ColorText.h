#pragma once

#include <QColor>
#include <cstdint>
#include <optional>
#include <string>

namespace qm {

// The colour type of stored widget colours: low byte red, then green, then blue. Values with the
// top bit set name a system colour by its index in the low byte.
using TColor = std::int32_t;

namespace Colors {
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clSystemColor = static_cast<TColor>(0x80000000u);
} // namespace Colors

// A colour name ("clRed", "clBtnFace"; any case), a decimal number, or a hexadecimal number after
// "$". Anything else raises EConvertError.
TColor StringToColor(const std::string& text);
// The colour of a name, without the number forms; empty when the name is unknown.
std::optional<TColor> IdentToColor(const std::string& name);
// The plain red/green/blue value, with system colours replaced by fixed desktop values.
TColor ColorToRGB(TColor color);
QColor ToQColor(TColor color);

} // namespace qm
