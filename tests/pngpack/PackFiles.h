#pragma once

#include "../common/TestFiles.h"
#include "pictures/PngPicture.h"
#include "tools/pngpack/PackWriter.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

// Real PNG files and packs for the image store's tests. The PNG files are written by the toolkit's
// own encoder, so the store's decoder is checked against an independent implementation.
namespace qm::test {

inline std::string EncodePng(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        throw std::runtime_error("cannot encode a PNG file");
    return bytes.toStdString();
}

inline QImage SolidImage(QRgb colour, int width = 4, int height = 3) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

// Every pixel differs in every channel, with partial alpha, so a decoder that swaps channels,
// premultiplies, or mixes up rows or strides is caught. Odd widths make rows of unaligned length.
inline QImage PatternImage(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                           qRgba(17 * x + 3, 29 * y + 5, (7 * x + 11 * y) % 256, 255 - 13 * (x + y) % 200));
    return image;
}

inline std::string SolidPng(QRgb colour, int width = 4, int height = 3) {
    return EncodePng(SolidImage(colour, width, height));
}

inline std::string Le32(std::uint32_t value) {
    std::string bytes;
    for (int shift = 0; shift < 32; shift += 8)
        bytes += static_cast<char>((value >> shift) & 0xFF);
    return bytes;
}

inline std::string MakePack(const std::vector<TPackEntry>& entries) {
    return EncodePackFile(EncodePackPayload(entries));
}

// Same size, format with alpha, and every pixel equal once drawn; the size known before drawing
// is the drawn one.
inline void ExpectSamePicture(const TPngPicture* picture, const QImage& expected) {
    ASSERT_NE(picture, nullptr);
    ASSERT_EQ(picture->size(), expected.size());
    const QImage* actual = &picture->Pixels();
    ASSERT_EQ(actual->size(), expected.size());
    EXPECT_EQ(actual->format(), QImage::Format_ARGB32);
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            ASSERT_EQ(actual->pixel(x, y), expected.pixel(x, y)) << "at " << x << "," << y;
}

} // namespace qm::test
