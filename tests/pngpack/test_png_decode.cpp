// The desk's decoder gives 8-bit and smaller pictures of every colour type exactly as Qt's own reader
// does: the short way for 8-bit RGB and RGBA and the general way for the rest agree pixel for pixel.
// (16-bit pictures differ in rounding: the general way takes their samples as linear light.)
#include "pictures/PngDecode.h"
#include "pictures/PngPicture.h"
#include "pictures/PopulatedMemory.h"

#include <QBuffer>
#include <QColor>
#include <QPainter>
#include <QRandomGenerator>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <zlib.h>

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

// Noise next to smooth runs, large enough that the encoder splits the rows over several data
// chunks and picks different row filters.
QImage NoisyPicture(QImage::Format format) {
    QImage image(301, 203, QImage::Format_ARGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y,
                           y % 3 == 0 ? qRgba(x, y, x ^ y, 200 + x % 56) : random.generate() | 0x10000000u);
    return image.convertToFormat(format);
}

std::uint32_t BigEndian(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

void PutBigEndian(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>((value >> (24 - 8 * i)) & 0xFF);
}

// A chunk with its length and CRC, to splice into a picture.
std::string Chunk(const std::string& type, const std::string& body) {
    std::string chunk(4, '\0');
    PutBigEndian(chunk, 0, static_cast<std::uint32_t>(body.size()));
    chunk += type + body + std::string(4, '\0');
    PutBigEndian(chunk, chunk.size() - 4,
                 static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(chunk.data() + 4),
                                                  static_cast<uInt>(4 + body.size()))));
    return chunk;
}

// The number of data chunks and the set of row filters a picture uses, read independently of
// the decoder.
std::pair<int, std::set<int>> DataChunksAndFilters(const std::string& png, int bytesPerRow, int rows) {
    int chunks = 0;
    std::string compressed;
    for (std::size_t at = 8; at + 8 <= png.size();) {
        const std::uint32_t length = BigEndian(png, at);
        if (png.compare(at + 4, 4, "IDAT") == 0) {
            ++chunks;
            compressed += png.substr(at + 8, length);
        }
        at += 12 + length;
    }
    std::string rowsData(static_cast<std::size_t>((bytesPerRow + 1) * rows), '\0');
    uLongf size = static_cast<uLongf>(rowsData.size());
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(rowsData.data()), &size,
                         reinterpret_cast<const Bytef*>(compressed.data()),
                         static_cast<uLong>(compressed.size())),
              Z_OK);
    std::set<int> filters;
    for (int y = 0; y < rows; ++y)
        filters.insert(static_cast<unsigned char>(rowsData[static_cast<std::size_t>(y * (bytesPerRow + 1))]));
    return {chunks, filters};
}

void ExpectAsQtReadsIt(const std::string& png) {
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

TEST(PngDecode, FilteredRowsSplitOverSeveralChunksDecodeExactly) {
    for (const auto& [format, channels] :
         {std::pair{QImage::Format_RGB32, 3}, std::pair{QImage::Format_ARGB32, 4}}) {
        SCOPED_TRACE(channels);
        const std::string png = Encode(NoisyPicture(format));
        const auto [chunks, filters] = DataChunksAndFilters(png, 301 * channels, 203);
        EXPECT_GT(chunks, 1);
        EXPECT_GE(filters.size(), 3u) << "the picture should exercise several row filters";
        ExpectAsQtReadsIt(png);

        // A damaged ancillary chunk is skipped, as the general decoder skips it; a colour-space
        // chunk sends the picture the general way, which honours it as Qt does.
        const std::size_t afterHeader = 8 + 25;
        std::string damaged = Chunk("tEXt", std::string("Comment\0hello", 13));
        damaged[damaged.size() - 1] ^= 0x01;
        ExpectAsQtReadsIt(std::string(png).insert(afterHeader, damaged));
        ExpectAsQtReadsIt(
            std::string(png).insert(afterHeader, Chunk("gAMA", std::string("\0\0\xB1\x8F", 4))));
    }
}

TEST(PngDecode, EveryKindOfPictureDecodesAsQtsOwnReaderReadsIt) {
    const std::pair<const char*, QImage::Format> kinds[] = {
        {"8-bit RGB", QImage::Format_RGB32}, {"8-bit RGBA", QImage::Format_ARGB32},
        {"grey", QImage::Format_Grayscale8}, {"palette", QImage::Format_Indexed8},
        {"1-bit", QImage::Format_Mono},
    };
    for (const auto& [name, format] : kinds) {
        SCOPED_TRACE(name);
        ExpectAsQtReadsIt(Encode(Pattern(format)));
    }
}

// A picture whose PNG has no alpha is handed out as premultiplied pixels, the same bytes, so that
// the painter draws it without converting a copy; drawn, it gives exactly the pixels the straight
// one gives. Anything that may hold transparency stays as decoded.
TEST(PngPicture, OpaquePicturesAreHandedOutPremultipliedAndDrawTheSame) {
    const std::string rgb = Encode(Pattern(QImage::Format_RGB32));
    // A transparency chunk right after the header: one RGB colour made transparent.
    const std::string rgbWithTrns =
        rgb.substr(0, 33) + Chunk("tRNS", std::string("\0\7\0\11\0\0", 6)) + rgb.substr(33);
    const struct {
        const char* kind;
        std::string png;
        QImage::Format handedOut;
    } kinds[] = {
        {"8-bit RGB", rgb, QImage::Format_ARGB32_Premultiplied},
        {"grey", Encode(Pattern(QImage::Format_Grayscale8)), QImage::Format_ARGB32_Premultiplied},
        {"opaque palette", Encode(Pattern(QImage::Format_RGB32).convertToFormat(QImage::Format_Indexed8)),
         QImage::Format_ARGB32_Premultiplied},
        {"palette with alpha", Encode(Pattern(QImage::Format_Indexed8)), QImage::Format_ARGB32},
        {"8-bit RGBA", Encode(Pattern(QImage::Format_ARGB32)), QImage::Format_ARGB32},
        {"RGB with a transparent colour", rgbWithTrns, QImage::Format_ARGB32},
    };
    for (const auto& each : kinds) {
        SCOPED_TRACE(each.kind);
        const QImage qtReads = QImage::fromData(QByteArray::fromStdString(each.png), "PNG")
                                   .convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(qtReads.isNull());
        const qm::TPngPicture picture("p.png", each.png, qtReads.size());
        const QImage& pixels = picture.Pixels();
        EXPECT_EQ(pixels.format(), each.handedOut);
        EXPECT_EQ(pixels.convertToFormat(QImage::Format_ARGB32), qtReads);
        // Scaled both ways, over a background, as the desk draws its backgrounds and icons.
        for (const QPainter::CompositionMode mode :
             {QPainter::CompositionMode_Source, QPainter::CompositionMode_SourceOver}) {
            QImage fromStraight(50, 30, QImage::Format_ARGB32_Premultiplied);
            fromStraight.fill(0xFF336699);
            QImage fromHandedOut = fromStraight.copy();
            for (const auto& [target, source] :
                 {std::pair{&fromStraight, &qtReads}, std::pair{&fromHandedOut, &pixels}}) {
                QPainter painter(target);
                painter.setCompositionMode(mode);
                painter.drawImage(QRect(1, 2, 48, 26), *source);
                painter.drawImage(QRect(0, 0, 20, 12), *source);
            }
            EXPECT_EQ(fromHandedOut, fromStraight) << "composition mode " << mode;
        }
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

namespace {

// The process's mapped address space in kB, from /proc/self/status.
long MappedKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word)
        if (word == "VmSize:") {
            long kilobytes = 0;
            status >> kilobytes;
            return kilobytes;
        }
    return -1;
}

} // namespace

TEST(PopulatedMemory, BlocksOfEverySizeAreWholeWritableAndGiveBackAllTheyMapped) {
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    const std::size_t sizes[] = {1,         4095,          4096,          256 * 1024,       kHugePage - 1,
                                 kHugePage, 2382336 + 100, kHugePage * 2, kHugePage * 2 + 1};
    for (const std::size_t bytes : sizes) {
        SCOPED_TRACE(bytes);
        qm::TPopulatedMemory memory(bytes);
        ASSERT_NE(memory.Data(), nullptr);
        EXPECT_EQ(memory.Size(), bytes);
        std::memset(memory.Data(), 0xA5, bytes);
        EXPECT_EQ(memory.Data()[0], 0xA5);
        EXPECT_EQ(memory.Data()[bytes - 1], 0xA5);
        if (bytes >= kHugePage) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(memory.Data()) % kHugePage, 0u);
        }
    }
    // Blocks made and freed many times leave no mapping behind (the slack around an aligned block
    // included).
    const long before = MappedKilobytes();
    for (int round = 0; round < 8; ++round)
        for (const std::size_t bytes : sizes)
            qm::TPopulatedMemory{bytes};
    EXPECT_LT(MappedKilobytes() - before, 1024);
}
