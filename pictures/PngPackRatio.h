#pragma once

#include "pictures/PngPack.h"

#include <QImage>
#include <string>
#include <string_view>

namespace qm {

// Screens of more than one device pixel to the desk's pixel get pictures drawn at twice the size,
// scaled down smoothly where the ratio lies between 1 and 2 (sharper than the ordinary picture
// scaled up). A store
// may carry such a picture beside the ordinary one, named with "@2x" before the extension
// ("close_01.png" and "close_01@2x.png"); stores without them serve as before. Layout always
// follows the ordinary picture's size, the larger one only gives its pixels to the same place.

// Device pixel ratios above this one are served the pictures drawn at twice the size.
inline constexpr double kDoubleSizeAboveRatio = 1.0;

// The name of the picture drawn at twice the size: "@2x" before the extension of the last part of
// the name, or at its end when that part has none. "" for a blank name.
std::string DoubleSizeName(std::string_view name);

// The pixels to draw for the picture of name, which pngs has already served as picture: the double
// size picture's when ratio calls for one and pngs has it (packed or as a loose file), else the
// picture's own. Decoding failures raise as Pixels() does.
const QImage& PixelsForRatio(TPngPack& pngs, const std::string& name, const TPngPicture& picture,
                             double ratio);

} // namespace qm
