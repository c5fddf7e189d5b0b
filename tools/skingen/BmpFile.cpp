#include "BmpFile.h"

#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <string>

namespace skingen {

namespace {

void PutLE(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFFu));
}

} // namespace

void SaveBmp24(const QImage& image, const std::filesystem::path& file) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const auto width = static_cast<std::uint32_t>(rgb.width());
    const auto height = static_cast<std::uint32_t>(rgb.height());
    const std::uint32_t rowBytes = (width * 3 + 3) / 4 * 4;
    constexpr std::uint32_t kHeaderBytes = 14 + 40;
    constexpr std::uint32_t kPixelsPerMetre = 2835; // 72 dots per inch

    std::string out;
    out.reserve(kHeaderBytes + rowBytes * height);
    // File header.
    out += "BM";
    PutLE(out, kHeaderBytes + rowBytes * height, 4);
    PutLE(out, 0, 4);
    PutLE(out, kHeaderBytes, 4);
    // Info header: positive height means rows are stored bottom-up.
    PutLE(out, 40, 4);
    PutLE(out, width, 4);
    PutLE(out, height, 4);
    PutLE(out, 1, 2);
    PutLE(out, 24, 2);
    PutLE(out, 0, 4); // no compression
    PutLE(out, rowBytes * height, 4);
    PutLE(out, kPixelsPerMetre, 4);
    PutLE(out, kPixelsPerMetre, 4);
    PutLE(out, 0, 4);
    PutLE(out, 0, 4);

    for (int y = rgb.height() - 1; y >= 0; --y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            out.push_back(static_cast<char>(qBlue(line[x])));
            out.push_back(static_cast<char>(qGreen(line[x])));
            out.push_back(static_cast<char>(qRed(line[x])));
        }
        out.append(rowBytes - width * 3, '\0');
    }

    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream.write(out.data(), static_cast<std::streamsize>(out.size()));
    if (!stream.flush())
        throw std::runtime_error("cannot write " + file.string());
}

} // namespace skingen
