// Colour texts of widget documents: framework colour names in any case, decimal numbers and
// hexadecimal numbers after "$", in the layout with red in the low byte.
#include "desk/ColorText.h"
#include "desk/ConvertError.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(ColourText, NamesOfTheFrameworkInAnyCase) {
    EXPECT_EQ(StringToColor("clRed"), 0x0000FF);
    EXPECT_EQ(StringToColor("CLRED"), 0x0000FF);
    EXPECT_EQ(StringToColor("clblue"), 0xFF0000);
    EXPECT_EQ(StringToColor("clLime"), 0x00FF00);
    EXPECT_EQ(StringToColor("clNavy"), 0x800000);
    EXPECT_EQ(StringToColor("clMaroon"), 0x000080);
    EXPECT_EQ(StringToColor("clWhite"), 0xFFFFFF);
    EXPECT_EQ(StringToColor("clBlack"), 0);
    EXPECT_EQ(StringToColor("clSkyBlue"), 0xF0CAA6);
    EXPECT_EQ(StringToColor("clMoneyGreen"), 0xC0DCC0);
    EXPECT_EQ(StringToColor("clCream"), 0xF0FBFF);
    EXPECT_EQ(StringToColor("clMedGray"), 0xA4A0A0);
}

TEST(ColourText, LowByteIsRed) {
    const QColor red = ToQColor(StringToColor("clRed"));
    EXPECT_EQ(red, QColor(255, 0, 0));
    EXPECT_EQ(ToQColor(StringToColor("$00FF8040")), QColor(0x40, 0x80, 0xFF));
    EXPECT_EQ(ToQColor(StringToColor("clOlive")), QColor(0x80, 0x80, 0));
    EXPECT_EQ(ToQColor(StringToColor("clTeal")), QColor(0, 0x80, 0x80));
}

TEST(ColourText, NumbersInDecimalAndAfterDollarInHexadecimal) {
    EXPECT_EQ(StringToColor("255"), 255);
    EXPECT_EQ(StringToColor("16711680"), 0xFF0000);
    EXPECT_EQ(StringToColor("$ff"), 255);
    EXPECT_EQ(StringToColor("$FF0000"), 0xFF0000);
    EXPECT_EQ(StringToColor("-1"), -1);
    EXPECT_EQ(StringToColor("$FFFFFFFF"), -1);
    EXPECT_EQ(StringToColor("2147483647"), 2147483647);
}

TEST(ColourText, SystemColourNamesGiveFixedDesktopColours) {
    const TColor buttonFace = StringToColor("clBtnFace");
    EXPECT_LT(buttonFace, 0); // stored as the framework stores system colours
    EXPECT_EQ(ColorToRGB(buttonFace), 0xF0F0F0);
    EXPECT_EQ(ToQColor(StringToColor("clwindowtext")), QColor(0, 0, 0));
    EXPECT_EQ(ToQColor(StringToColor("clWindow")), QColor(255, 255, 255));
    EXPECT_EQ(ToQColor(StringToColor("clHighlight")), QColor(0x33, 0x99, 0xFF));
    // A system colour given as a number means the same.
    EXPECT_EQ(ColorToRGB(StringToColor("$8000000F")), 0xF0F0F0);
}

TEST(ColourText, AnythingElseIsAConversionError) {
    for (const char* text :
         {"", "clRedd", "red", "12abc", "$", "$12G4", "0x", "2147483648", "$100000000", "1 2", "- 5"}) {
        EXPECT_THROW(StringToColor(text), EConvertError) << '"' << text << '"';
    }
}

} // namespace
} // namespace qm
