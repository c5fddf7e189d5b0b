#pragma once

#include <QImage>
#include <filesystem>

namespace skingen {

// Writes the picture as an uncompressed 24-bit Windows bitmap (bottom-up rows, blue-green-red,
// each row padded to four bytes); alpha is dropped. Throws std::runtime_error on failure.
void SaveBmp24(const QImage& image, const std::filesystem::path& file);

} // namespace skingen
