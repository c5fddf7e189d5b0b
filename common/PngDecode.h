#pragma once

#include <QImage>
#include <string>
#include <string_view>

namespace qm {

// Decodes a complete PNG file held in memory into a QImage of Format_ARGB32 (straight alpha).
// On failure the image is left untouched and error holds the codec's reason. A picture whose
// pixel count is out of proportion to the size of its data is refused before anything is
// allocated, so a forged header cannot ask for gigabytes.
bool DecodePng(std::string_view data, QImage& image, std::string& error);

} // namespace qm
