#pragma once

#include <QImage>
#include <string>
#include <string_view>

namespace qm {

enum class TFastDecode { Done, NotEligible, Failed };

// The short way for the commonest desk picture, 8-bit RGB or RGBA without interlacing and without
// colour-space or transparency chunks: its rows are inflated by libdeflate and unfiltered straight
// into the image (Format_ARGB32, opaque pictures with full alpha), which is what the general decoder
// gives for it, in a fraction of the time. Any other picture is NotEligible and left to the general decoder.
// The caller has checked the header and the picture's size against its data.
TFastDecode DecodeStraightRgb(std::string_view data, QImage& image, std::string& error);

} // namespace qm
