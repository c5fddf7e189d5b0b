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

// Checks without decoding the pixels what DecodePng checks first (signature, header, size against
// data) and that every chunk up to IEND is complete with a matching checksum. Cheap next to a
// decode; a picture that passes can still fail DecodePng only with a broken compressed stream.
// Size receives the picture's size from its header.
bool CheckPng(std::string_view data, QSize& size, std::string& error);

} // namespace qm
