// The desk's decoder gives 8-bit and smaller pictures of every colour type exactly as Qt's own reader
// does: the short way for 8-bit RGB and RGBA and the general way for the rest agree pixel for pixel.
// (16-bit pictures differ in rounding: the general way takes their samples as linear light.)
#include "common/PngDecode.h"

#include <QBuffer>
#include <QColor>
#include <gtest/gtest.h>
#include <string>

namespace {

// Colours and, for pictures with alpha, transparency that change along both axes.
QImage Pattern(QImage::Format format) {
    QImage image(37, 23, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgba(x * 7, y * 11, (x * y) % 256, 255 - (x + y) * 4));
    return image.convertToFormat(format);
}

std::string Encode(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "PNG"));
    return bytes.toStdString();
}

TEST(PngDecode, EveryKindOfPictureDecodesAsQtsOwnReaderReadsIt) {
    const std::pair<const char*, QImage::Format> kinds[] = {
        {"8-bit RGB", QImage::Format_RGB32}, {"8-bit RGBA", QImage::Format_ARGB32},
        {"grey", QImage::Format_Grayscale8}, {"palette", QImage::Format_Indexed8},
        {"1-bit", QImage::Format_Mono},
    };
    for (const auto& [name, format] : kinds) {
        SCOPED_TRACE(name);
        const std::string png = Encode(Pattern(format));
        QImage decoded;
        std::string error;
        ASSERT_TRUE(qm::DecodePng(png, decoded, error)) << error;
        EXPECT_EQ(decoded.format(), QImage::Format_ARGB32);
        const QImage expected =
            QImage::fromData(QByteArray::fromStdString(png), "PNG").convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(decoded.size(), expected.size());
        for (int y = 0; y < expected.height(); ++y)
            for (int x = 0; x < expected.width(); ++x)
                ASSERT_EQ(decoded.pixel(x, y), expected.pixel(x, y)) << "at " << x << "," << y;
    }
}

TEST(PngDecode, PictureCutShortOrWithBrokenRowsIsAnErrorWithAReason) {
    const std::string png = Encode(Pattern(QImage::Format_RGB32));
    const std::size_t rowsAt = png.find("IDAT") + 4;
    std::string broken = png;
    for (std::size_t i = rowsAt + 2; i < rowsAt + 40; ++i)
        broken[i] = static_cast<char>(broken[i] ^ 0x5A);
    for (const std::string& bad : {png.substr(0, rowsAt + 30), broken}) {
        QImage decoded(1, 1, QImage::Format_ARGB32);
        std::string error;
        EXPECT_FALSE(qm::DecodePng(bad, decoded, error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(decoded.size(), QSize(1, 1)) << "the image is left untouched";
    }
}

} // namespace
