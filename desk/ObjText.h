#pragma once

#include "desk/ColorText.h"

#include <string>

namespace qm {

// FontStyle codes: a bit mask of bold and italic. Only the values 1, 2 and 3 carry a style; any
// other value is regular.
enum TFontStyleBits : int { kFontBold = 1, kFontItalic = 2 };

// The caption and font settings of a text widget.
struct TObjText {
    std::string Text;
    std::string FontName = "宋体";
    int FontSize = 10; // points
    int FontStyle = 0;
    TColor ColorNormal = Colors::clBlack;
    TColor ColorHover = Colors::clBlack;
};

} // namespace qm
