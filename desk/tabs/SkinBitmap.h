#pragma once

#include <QColor>
#include <QImage>
#include <string>
#include <string_view>

namespace qm {

// Reads a skin picture. An empty name or a file that does not exist gives an empty image (the
// controls then paint plain white); a file that exists but is no readable picture raises EUI with
// the given location.
QImage LoadSkinBitmap(const std::string& fileName, std::string_view location);

// The colour of one skin pixel; white where the skin has no such pixel (empty or too small).
QColor SkinPixel(const QImage& skin, int x, int y);

} // namespace qm
