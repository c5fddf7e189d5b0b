#include "pictures/PngDecode.h"

#include "pictures/BigEndian.h"
#include "pictures/PngFastDecode.h"

#include <cstdint>
#include <png.h>
#include <zlib.h>

namespace qm {
namespace {

// Deflate expands at most 1032 times, and one byte of the filtered image data carries at most eight
// pixels (one bit each), so honest data of n bytes never describes more than 8 * 1032 * n pixels.
constexpr std::uint64_t kPixelsPerDataByte = 8 * 1032;
// Far above any desk picture; keeps one decoded image at 256 MiB or less.
constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 26;

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr png_uint_32 kArgb32Layout = PNG_FORMAT_BGRA; // 0xAARRGGBB words, low byte first
#else
constexpr png_uint_32 kArgb32Layout = PNG_FORMAT_ARGB;
#endif

// Frees the codec's state however the decoding ends; freeing twice is harmless.
class TPngImage {
public:
    TPngImage() {
        image_.version = PNG_IMAGE_VERSION;
        image_.opaque = nullptr;
    }
    ~TPngImage() { png_image_free(&image_); }
    TPngImage(const TPngImage&) = delete;
    TPngImage& operator=(const TPngImage&) = delete;

    png_image* operator->() noexcept { return &image_; }
    png_image* get() noexcept { return &image_; }

private:
    png_image image_{};
};

// The header is read and the picture's size held against its data; false with the reason otherwise.
bool BeginRead(std::string_view data, TPngImage& png, std::string& error) {
    if (!png_image_begin_read_from_memory(png.get(), data.data(), data.size())) {
        error = png->message;
        return false;
    }
    const std::uint64_t pixels = std::uint64_t{png->width} * png->height;
    if (pixels > kMaxPixels || pixels > kPixelsPerDataByte * data.size()) {
        error = "image size " + std::to_string(png->width) + "x" + std::to_string(png->height) +
                " does not fit its data";
        return false;
    }
    return true;
}

// Walks the chunks after the signature: length, type, data, CRC over type and data.
bool CheckChunks(std::string_view data, std::string& error) {
    constexpr std::size_t kSignatureSize = 8;
    constexpr std::size_t kChunkFrameSize = 12;
    std::string_view rest = data.substr(kSignatureSize);
    while (rest.size() >= kChunkFrameSize) {
        const std::uint32_t length = BigEndian32(rest.data());
        if (length > rest.size() - kChunkFrameSize)
            break;
        const std::string_view typeAndData = rest.substr(4, 4 + std::size_t{length});
        const auto crc = static_cast<std::uint32_t>(crc32(
            0, reinterpret_cast<const Bytef*>(typeAndData.data()), static_cast<uInt>(typeAndData.size())));
        if (crc != BigEndian32(rest.data() + 8 + std::size_t{length})) {
            error = "CRC error in chunk " + std::string(typeAndData.substr(0, 4));
            return false;
        }
        if (typeAndData.substr(0, 4) == "IEND")
            return true;
        rest.remove_prefix(kChunkFrameSize + length);
    }
    error = "truncated picture data";
    return false;
}

} // namespace

bool CheckPng(std::string_view data, QSize& size, std::string& error) {
    TPngImage png;
    if (!BeginRead(data, png, error) || !CheckChunks(data, error))
        return false;
    // BeginRead has held the size against the pixel limit, far below what an int holds.
    size = QSize(static_cast<int>(png->width), static_cast<int>(png->height));
    return true;
}

bool DecodePng(std::string_view data, QImage& image, std::string& error) {
    TPngImage png;
    if (!BeginRead(data, png, error))
        return false;
    if (const TFastDecode fast = DecodeStraightRgb(data, image, error); fast != TFastDecode::NotEligible)
        return fast == TFastDecode::Done;
    png->format = kArgb32Layout;
    QImage decoded(static_cast<int>(png->width), static_cast<int>(png->height), QImage::Format_ARGB32);
    if (decoded.isNull()) {
        error = "out of memory";
        return false;
    }
    // With one byte per component the row stride in components is the stride in bytes.
    if (!png_image_finish_read(png.get(), nullptr, decoded.bits(),
                               static_cast<png_int_32>(decoded.bytesPerLine()), nullptr)) {
        error = png->message;
        return false;
    }
    image = std::move(decoded);
    return true;
}

} // namespace qm
